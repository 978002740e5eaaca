// CRC-32C (Castagnoli) of package bytes: the packing tool records it, the
// launcher checks the payload against it before the updater sees the package.
#pragma once

#include <stdint.h>

// The ways to compute it, slowest first; every one gives the same value.
const int kCrc32cTable = 0;        // a byte table, on any processor
const int kCrc32cInstruction = 1;  // SSE4.2's crc32, which computes exactly this polynomial
const int kCrc32cFolding = 2;      // carry-less multiplication (PCLMULQDQ), 64 bytes a step

struct Crc32c {
    uint32_t table[256];
    uint32_t blockShift;   // x^(8 * kCrc32cLane) mod P, to join the lanes of a block
    uint32_t fold[2];      // x^(512 + 31) and x^(512 - 33) mod P, to move a 16-byte lane on by 64 bytes
    int path;              // the fastest the processor has; a slower one may be set
};

void Crc32cInit(Crc32c* crc);

// The CRC-32C of everything so far followed by data; start with value 0.
uint32_t Crc32cUpdate(const Crc32c* crc, uint32_t value, const uint8_t* data, uint32_t size);
