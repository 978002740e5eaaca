// Where the executable image ends in its file, read from its PE headers: the
// payload starts there.
#pragma once

#include <stdint.h>

// SizeOfHeaders plus the SizeOfRawData of every section. headers holds the
// first size bytes of the image (in memory or in the file). 0 when the headers
// are malformed or reach past size.
int PayloadOffset(const uint8_t* headers, uint32_t size, uint32_t* offset);

// Where the certificate table's directory entry (its offset, then its size)
// lies in the headers. 0 when the image has no such entry or the headers are malformed.
int CertificateEntry(const uint8_t* headers, uint32_t size, uint32_t* at);

// The certificate table a signing tool appends (the security data directory):
// its file offset and size. 0 when the image is not signed or the headers are malformed.
int CertificateTable(const uint8_t* headers, uint32_t size, uint32_t* offset, uint32_t* length);

// A signing tool pads the file before the certificate table, so the packing
// tool records the package's exact length in reserved words of the DOS header,
// which the loader ignores. The record sits at kPackageLengthRecord: a tag, then the length.
const uint32_t kPackageLengthRecord = 0x28;
const uint32_t kPackageLengthRecordSize = 8;
int RecordedPackageLength(const uint8_t* headers, uint32_t size, uint32_t* length);
void RecordPackageLength(uint8_t* headers, uint32_t length);

// The payload's length in a file of fileSize bytes whose payload starts at
// offset: up to the end of the file, or, in a signed file whose package length
// was recorded and fits before the certificate table, exactly that length.
// 0 when the file ends before offset.
int PayloadLength(const uint8_t* headers, uint32_t size, uint32_t offset, uint32_t fileSize, uint32_t* length);

// The integrity record follows the length record in the same reserved words:
// a tag, then the CRC-32C of the package. A launcher that knows only the
// length record reads its length as before.
const uint32_t kPackageChecksumRecord = 0x30;
const uint32_t kPackageChecksumRecordSize = 8;
int RecordedPackageChecksum(const uint8_t* headers, uint32_t size, uint32_t* checksum);
void RecordPackageChecksum(uint8_t* headers, uint32_t checksum);

// What the launcher copies out of a file of fileSize bytes. With both records
// the package is exactly the recorded length, held to the recorded checksum;
// without them it is what PayloadLength gives.
struct PayloadPlan {
    uint32_t offset;
    uint32_t length;
    int checked;
    uint32_t checksum;
    uint32_t missing;  // bytes a checked package lacks when the file was cut short
};

// 0 when the headers are malformed, the file ends inside the image, or a
// checked package does not fit in the file (then missing says by how much).
int PlanPayload(const uint8_t* headers, uint32_t size, uint32_t fileSize, PayloadPlan* plan);
