// PE header arithmetic. No platform calls: the launcher and the packing tool share it.
#include "package/image_layout.h"

namespace {

const uint32_t kNewHeaderOffsetField = 0x3C;  // e_lfanew in the DOS header
const uint32_t kFileHeaderSize = 20;
const uint32_t kSizeOfHeadersField = 60;  // the same in PE32 and PE32+ optional headers
const uint32_t kSectionHeaderSize = 40;
const uint32_t kSizeOfRawDataField = 16;
const uint32_t kSecurityDirectory = 4;
const uint8_t kLengthTag[4] = {'P', 'K', 'L', 'N'};
const uint8_t kChecksumTag[4] = {'P', 'K', 'C', 'C'};

uint32_t Read16(const uint8_t* p)
{
    return p[0] | (p[1] << 8);
}

uint32_t Read32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// True when [start, start + length) lies inside size, without overflowing.
bool Inside(uint64_t start, uint64_t length, uint32_t size)
{
    return start + length <= size;
}

// Finds the optional header and checks that it and the section table lie inside size.
bool LocateHeaders(const uint8_t* headers, uint32_t size, uint64_t* optional, uint32_t* optionalSize,
                   uint32_t* sections)
{
    if (!Inside(0, 0x40, size) || headers[0] != 'M' || headers[1] != 'Z')
        return false;
    uint64_t pe = Read32(headers + kNewHeaderOffsetField);
    if (!Inside(pe, 4 + kFileHeaderSize, size) || Read32(headers + pe) != 0x00004550)
        return false;
    const uint8_t* fileHeader = headers + pe + 4;
    *sections = Read16(fileHeader + 2);
    *optional = pe + 4 + kFileHeaderSize;
    *optionalSize = Read16(fileHeader + 16);
    if (*optionalSize < kSizeOfHeadersField + 4 || !Inside(*optional, *optionalSize, size))
        return false;
    return Inside(*optional + *optionalSize, static_cast<uint64_t>(*sections) * kSectionHeaderSize, size);
}

// A record is a four-byte tag and a 32-bit value at a fixed offset.
int ReadRecord(const uint8_t* headers, uint32_t size, uint32_t at, const uint8_t* tag, uint32_t* value)
{
    if (!Inside(at, 8, size))
        return 0;
    for (int i = 0; i < 4; ++i) {
        if (headers[at + i] != tag[i])
            return 0;
    }
    *value = Read32(headers + at + 4);
    return 1;
}

void WriteRecord(uint8_t* headers, uint32_t at, const uint8_t* tag, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        headers[at + i] = tag[i];
        headers[at + 4 + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

}  // namespace

int PayloadOffset(const uint8_t* headers, uint32_t size, uint32_t* offset)
{
    uint64_t optional;
    uint32_t optionalSize, sections;
    if (!LocateHeaders(headers, size, &optional, &optionalSize, &sections))
        return 0;
    uint64_t table = optional + optionalSize;
    uint64_t end = Read32(headers + optional + kSizeOfHeadersField);
    for (uint32_t i = 0; i < sections; ++i)
        end += Read32(headers + table + i * kSectionHeaderSize + kSizeOfRawDataField);
    if (end > 0xFFFFFFFFu)
        return 0;
    *offset = static_cast<uint32_t>(end);
    return 1;
}

int CertificateEntry(const uint8_t* headers, uint32_t size, uint32_t* at)
{
    uint64_t optional;
    uint32_t optionalSize, sections;
    if (!LocateHeaders(headers, size, &optional, &optionalSize, &sections))
        return 0;
    // The data directories follow the fixed fields, which are longer in PE32+.
    uint32_t magic = Read16(headers + optional);
    uint32_t countField = magic == 0x20B ? 108 : 92;
    if (magic != 0x10B && magic != 0x20B)
        return 0;
    if (optionalSize < countField + 4 || Read32(headers + optional + countField) <= kSecurityDirectory)
        return 0;
    uint32_t entry = countField + 4 + kSecurityDirectory * 8;
    if (optionalSize < entry + 8)
        return 0;
    *at = static_cast<uint32_t>(optional + entry);
    return 1;
}

int CertificateTable(const uint8_t* headers, uint32_t size, uint32_t* offset, uint32_t* length)
{
    uint32_t entry;
    if (!CertificateEntry(headers, size, &entry))
        return 0;
    *offset = Read32(headers + entry);
    *length = Read32(headers + entry + 4);
    return *offset != 0 && *length != 0 ? 1 : 0;
}

// Where a package that starts at offset can end: at a signed file's certificate
// table, or at the end of the file. The certificate offset comes from the
// file: one past its end would let a record claim bytes the file does not have.
static uint32_t PackageLimit(const uint8_t* headers, uint32_t size, uint32_t offset, uint32_t fileSize, bool* isSigned)
{
    uint32_t certificate, certificateSize;
    *isSigned = CertificateTable(headers, size, &certificate, &certificateSize) && certificate >= offset
                && certificate <= fileSize;
    return *isSigned ? certificate : fileSize;
}

int PayloadLength(const uint8_t* headers, uint32_t size, uint32_t offset, uint32_t fileSize, uint32_t* length)
{
    if (fileSize < offset)
        return 0;
    *length = fileSize - offset;
    bool isSigned;
    uint32_t limit = PackageLimit(headers, size, offset, fileSize, &isSigned), recorded;
    if (isSigned && RecordedPackageLength(headers, size, &recorded) && recorded <= limit - offset)
        *length = recorded;
    return 1;
}

int RecordedPackageLength(const uint8_t* headers, uint32_t size, uint32_t* length)
{
    return ReadRecord(headers, size, kPackageLengthRecord, kLengthTag, length);
}

void RecordPackageLength(uint8_t* headers, uint32_t length)
{
    WriteRecord(headers, kPackageLengthRecord, kLengthTag, length);
}

int RecordedPackageChecksum(const uint8_t* headers, uint32_t size, uint32_t* checksum)
{
    return ReadRecord(headers, size, kPackageChecksumRecord, kChecksumTag, checksum);
}

void RecordPackageChecksum(uint8_t* headers, uint32_t checksum)
{
    WriteRecord(headers, kPackageChecksumRecord, kChecksumTag, checksum);
}

int PlanPayload(const uint8_t* headers, uint32_t size, uint32_t fileSize, PayloadPlan* plan)
{
    plan->checked = 0;
    plan->missing = 0;
    if (!PayloadOffset(headers, size, &plan->offset)
        || !PayloadLength(headers, size, plan->offset, fileSize, &plan->length))
        return 0;
    uint32_t recorded;
    if (!RecordedPackageLength(headers, size, &recorded) || !RecordedPackageChecksum(headers, size, &plan->checksum))
        return 1;
    // Less room than recorded is a cut file.
    bool isSigned;
    uint32_t end = PackageLimit(headers, size, plan->offset, fileSize, &isSigned);
    plan->checked = 1;
    if (recorded > end - plan->offset) {
        plan->missing = recorded - (end - plan->offset);
        return 0;
    }
    plan->length = recorded;
    return 1;
}
