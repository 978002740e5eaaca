// CRC-32C over the reflected polynomial 0x82F63B78, initial value and final
// XOR all ones. The instruction path runs three independent lanes so the
// instruction's latency is hidden, then joins them by multiplication mod P.
#include "package/checksum.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define SFX_CRC32C_INSTRUCTION 1
#endif

namespace {

const uint32_t kPolynomial = 0x82F63B78u;
// Bytes per lane: a block is three lanes, joined with two multiplications.
const uint32_t kLane = 4096;

uint32_t TableUpdate(const uint32_t* table, uint32_t state, const uint8_t* data, uint32_t size)
{
    for (uint32_t i = 0; i < size; ++i)
        state = table[(state ^ data[i]) & 0xFF] ^ (state >> 8);
    return state;
}

// a * b mod P, both reflected, where x^0 is the top bit.
uint32_t MultiplyModP(uint32_t a, uint32_t b)
{
    uint32_t product = 0;
    for (uint32_t bit = 0x80000000u; bit != 0; bit >>= 1) {
        if (a & bit)
            product ^= b;
        b = (b & 1) ? (b >> 1) ^ kPolynomial : b >> 1;
    }
    return product;
}

#ifdef SFX_CRC32C_INSTRUCTION
bool HasInstruction()
{
    unsigned eax, ebx, ecx, edx;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (ecx & bit_SSE4_2) != 0;
}

__attribute__((target("sse4.2"))) inline uint32_t Word(uint32_t state, const uint8_t* p)
{
    uint32_t word;
    __builtin_memcpy(&word, p, 4);
    return __builtin_ia32_crc32si(state, word);
}

__attribute__((target("sse4.2"))) uint32_t InstructionUpdate(const Crc32c* crc, uint32_t state, const uint8_t* data,
                                                               uint32_t size)
{
    for (; size >= 3 * kLane; size -= 3 * kLane, data += 3 * kLane) {
        uint32_t a = state, b = 0, c = 0;
        for (uint32_t i = 0; i < kLane; i += 4) {
            a = Word(a, data + i);
            b = Word(b, data + kLane + i);
            c = Word(c, data + 2 * kLane + i);
        }
        // The CRC is linear: shifting a lane past the next one's bytes and adding joins them.
        state = MultiplyModP(MultiplyModP(a, crc->blockShift) ^ b, crc->blockShift) ^ c;
    }
    for (; size >= 4; size -= 4, data += 4)
        state = Word(state, data);
    for (; size > 0; --size, ++data)
        state = __builtin_ia32_crc32qi(state, *data);
    return state;
}
#endif

}  // namespace

void Crc32cInit(Crc32c* crc)
{
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t entry = i;
        for (int bit = 0; bit < 8; ++bit)
            entry = (entry & 1) ? (entry >> 1) ^ kPolynomial : entry >> 1;
        crc->table[i] = entry;
    }
    // x^0 run through a lane of zero bytes is x^(8 * kLane).
    uint32_t shift = 0x80000000u;
    for (uint32_t i = 0; i < kLane; ++i)
        shift = crc->table[shift & 0xFF] ^ (shift >> 8);
    crc->blockShift = shift;
#ifdef SFX_CRC32C_INSTRUCTION
    crc->hardware = HasInstruction() ? 1 : 0;
#else
    crc->hardware = 0;
#endif
}

uint32_t Crc32cUpdate(const Crc32c* crc, uint32_t value, const uint8_t* data, uint32_t size)
{
    uint32_t state = ~value;
#ifdef SFX_CRC32C_INSTRUCTION
    if (crc->hardware)
        return ~InstructionUpdate(crc, state, data, size);
#endif
    return ~TableUpdate(crc->table, state, data, size);
}
