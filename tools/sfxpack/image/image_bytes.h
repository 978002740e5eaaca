// How much of a launcher's file the image rules get to see, as in the launcher.
#pragma once

#include <stdint.h>

// The launcher reads its headers from the one page the loader maps for them,
// so a stub whose headers reach past it would not find its own payload.
const uint32_t kImageHeaderBytes = 4096;

inline uint32_t ImageHeaderBytes(uint32_t fileSize)
{
    return fileSize < kImageHeaderBytes ? fileSize : kImageHeaderBytes;
}

// The package length is recorded in the DOS header's reserved words; a PE
// header that starts inside the DOS header would be overwritten by it.
// bytes holds at least the 64-byte DOS header.
inline bool NewHeaderClearsRecord(const uint8_t* bytes)
{
    const uint32_t kDosHeaderSize = 0x40;
    const uint32_t kNewHeaderField = 0x3C;
    uint32_t newHeader = bytes[kNewHeaderField] | bytes[kNewHeaderField + 1] << 8 | bytes[kNewHeaderField + 2] << 16
                         | static_cast<uint32_t>(bytes[kNewHeaderField + 3]) << 24;
    return newHeader >= kDosHeaderSize;
}
