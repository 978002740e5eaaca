// Configuration unscrambling rules. No platform calls: this file also builds natively for fuzzing.
#include "discovery/scramble.h"

bool IsScrambled(const uint8_t* bytes, uint32_t size)
{
    return size > kScrambleHeaderSize && bytes[0] == 0x01 && bytes[1] == 0xFF && bytes[2] == 0x02
           && bytes[3] == 0xFE;
}

void ApplyKeyStream(uint8_t* bytes, uint32_t size, const uint8_t key[4])
{
    uint8_t k[4] = {key[0], key[1], key[2], key[3]};
    for (uint32_t i = 0; i < size; ++i) {
        // The file offset is i + 8, a multiple of 4 apart, so the byte index is i mod 4.
        bytes[i] ^= k[i % 4];
        uint8_t k0 = k[0];
        k[0] = static_cast<uint8_t>(k[0] << 4 | k[1] >> 4);
        k[1] = static_cast<uint8_t>(k[1] << 4 | k[2] >> 4);
        k[2] = static_cast<uint8_t>(k[2] << 4 | k[3] >> 4);
        k[3] = static_cast<uint8_t>(k[3] << 4 | k0 >> 4);
    }
}

uint32_t ConfigTextStart(uint8_t* bytes, uint32_t size)
{
    uint32_t start = 0;
    if (IsScrambled(bytes, size)) {
        ApplyKeyStream(bytes + kScrambleHeaderSize, size - kScrambleHeaderSize, bytes + 4);
        start = kScrambleHeaderSize;
    }
    if (size - start >= 3 && bytes[start] == 0xEF && bytes[start + 1] == 0xBB && bytes[start + 2] == 0xBF)
        start += 3;
    return start;
}
