// PE header arithmetic. No platform calls: the launcher and the packing tool share it.
#include "package/image_layout.h"

namespace {

const uint32_t kNewHeaderOffsetField = 0x3C;  // e_lfanew in the DOS header
const uint32_t kFileHeaderSize = 20;
const uint32_t kSizeOfHeadersField = 60;  // the same in PE32 and PE32+ optional headers
const uint32_t kSectionHeaderSize = 40;
const uint32_t kSizeOfRawDataField = 16;

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

}  // namespace

int PayloadOffset(const uint8_t* headers, uint32_t size, uint32_t* offset)
{
    if (!Inside(0, 0x40, size) || headers[0] != 'M' || headers[1] != 'Z')
        return 0;
    uint64_t pe = Read32(headers + kNewHeaderOffsetField);
    if (!Inside(pe, 4 + kFileHeaderSize, size) || Read32(headers + pe) != 0x00004550)
        return 0;
    const uint8_t* fileHeader = headers + pe + 4;
    uint32_t sections = Read16(fileHeader + 2);
    uint64_t optional = pe + 4 + kFileHeaderSize;
    uint32_t optionalSize = Read16(fileHeader + 16);
    if (optionalSize < kSizeOfHeadersField + 4 || !Inside(optional, optionalSize, size))
        return 0;
    uint64_t table = optional + optionalSize;
    if (!Inside(table, static_cast<uint64_t>(sections) * kSectionHeaderSize, size))
        return 0;

    uint64_t end = Read32(headers + optional + kSizeOfHeadersField);
    for (uint32_t i = 0; i < sections; ++i)
        end += Read32(headers + table + i * kSectionHeaderSize + kSizeOfRawDataField);
    if (end > 0xFFFFFFFFu)
        return 0;
    *offset = static_cast<uint32_t>(end);
    return 1;
}
