// CRC-32C (Castagnoli) of package bytes: the packing tool records it, the
// launcher checks the payload against it before the updater sees the package.
#pragma once

#include <stdint.h>

// The byte table always, and whether the processor's CRC32 instruction
// (SSE4.2, which computes exactly this polynomial) may be used instead.
struct Crc32c {
    uint32_t table[256];
    uint32_t blockShift;  // x^(8 * kCrc32cLane) mod P, to join the lanes of a block
    int hardware;
};

void Crc32cInit(Crc32c* crc);

// The CRC-32C of everything so far followed by data; start with value 0.
uint32_t Crc32cUpdate(const Crc32c* crc, uint32_t value, const uint8_t* data, uint32_t size);
