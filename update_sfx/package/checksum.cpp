// CRC-32C over the reflected polynomial 0x82F63B78, initial value and final
// XOR all ones. The instruction path runs three independent lanes so the
// instruction's latency is hidden, then joins them by multiplication mod P.
// The folding path keeps four 16-byte lanes and moves each 64 bytes on per
// step by carry-less multiplication, twice the instruction's rate or more;
// the instruction then reduces the last 64 bytes and takes the tail.
#include "package/checksum.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define SFX_CRC32C_INSTRUCTION 1
#endif

namespace {

const uint32_t kPolynomial = 0x82F63B78u;
// Bytes per lane: a block is three lanes, joined with two multiplications.
const uint32_t kLane = 4096;
// Folding keeps four lanes of 16 bytes and moves each on by all four per step.
const uint32_t kFoldLane = 16;
const uint32_t kFoldStep = 4 * kFoldLane;

uint32_t TableUpdate(const uint32_t* table, uint32_t state, const uint8_t* data, uint32_t size)
{
    for (uint32_t i = 0; i < size; ++i)
        state = table[(state ^ data[i]) & 0xFF] ^ (state >> 8);
    return state;
}

// Multiplies reflected a by x, mod P.
uint32_t TimesX(uint32_t a)
{
    return (a & 1) ? (a >> 1) ^ kPolynomial : a >> 1;
}

// x^n mod P, reflected, where x^0 is the top bit.
uint32_t PowerOfX(uint32_t n)
{
    uint32_t power = 0x80000000u;
    while (n-- != 0)
        power = TimesX(power);
    return power;
}

// a * b mod P, both reflected.
uint32_t MultiplyModP(uint32_t a, uint32_t b)
{
    uint32_t product = 0;
    for (uint32_t bit = 0x80000000u; bit != 0; bit >>= 1) {
        if (a & bit)
            product ^= b;
        b = TimesX(b);
    }
    return product;
}

#ifdef SFX_CRC32C_INSTRUCTION
int FastestPath()
{
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || (ecx & bit_SSE4_2) == 0)
        return kCrc32cTable;
    return (ecx & bit_PCLMUL) != 0 ? kCrc32cFolding : kCrc32cInstruction;
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

__attribute__((target("pclmul,sse4.2"))) inline __m128i Load(const uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// lane moved on by the pair's distance, added to the bytes that lie there.
__attribute__((target("pclmul,sse4.2"))) inline __m128i Fold(__m128i lane, __m128i pair, __m128i next)
{
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(lane, pair, 0x00), _mm_clmulepi64_si128(lane, pair, 0x11)),
                         next);
}

__attribute__((target("pclmul,sse4.2"))) uint32_t FoldingUpdate(const Crc32c* crc, uint32_t state, const uint8_t* data,
                                                                 uint32_t size)
{
    if (size < kFoldStep)
        return InstructionUpdate(crc, state, data, size);
    // The state added to the first bytes stands for the bytes before them.
    __m128i a = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(static_cast<int>(state)));
    __m128i b = Load(data + kFoldLane);
    __m128i c = Load(data + 2 * kFoldLane);
    __m128i d = Load(data + 3 * kFoldLane);
    __m128i pair = _mm_set_epi32(0, static_cast<int>(crc->fold[1]), 0, static_cast<int>(crc->fold[0]));
    for (data += kFoldStep, size -= kFoldStep; size >= kFoldStep; data += kFoldStep, size -= kFoldStep) {
        a = Fold(a, pair, Load(data));
        b = Fold(b, pair, Load(data + kFoldLane));
        c = Fold(c, pair, Load(data + 2 * kFoldLane));
        d = Fold(d, pair, Load(data + 3 * kFoldLane));
    }
    // Sixty-four bytes whose CRC from zero is the CRC of everything folded.
    uint8_t window[kFoldStep];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(window), a);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(window + kFoldLane), b);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(window + 2 * kFoldLane), c);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(window + 3 * kFoldLane), d);
    return InstructionUpdate(crc, InstructionUpdate(crc, 0, window, kFoldStep), data, size);
}
#endif

}  // namespace

void Crc32cInit(Crc32c* crc)
{
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t entry = i;
        for (int bit = 0; bit < 8; ++bit)
            entry = TimesX(entry);
        crc->table[i] = entry;
    }
    crc->blockShift = PowerOfX(8 * kLane);
    // A carry-less product of two reflected 64-bit halves comes out multiplied
    // by x, and a 32-bit constant in the low half of an operand stands for
    // itself times x^32; so a lane's first half, 64 bits further from the
    // end, takes x^(step + 64 - 33) to move a step on, and its second half x^(step - 33).
    crc->fold[0] = PowerOfX(8 * kFoldStep + 64 - 33);
    crc->fold[1] = PowerOfX(8 * kFoldStep - 33);
#ifdef SFX_CRC32C_INSTRUCTION
    crc->path = FastestPath();
#else
    crc->path = kCrc32cTable;
#endif
}

uint32_t Crc32cUpdate(const Crc32c* crc, uint32_t value, const uint8_t* data, uint32_t size)
{
    uint32_t state = ~value;
#ifdef SFX_CRC32C_INSTRUCTION
    if (crc->path == kCrc32cFolding)
        return ~FoldingUpdate(crc, state, data, size);
    if (crc->path == kCrc32cInstruction)
        return ~InstructionUpdate(crc, state, data, size);
#endif
    return ~TableUpdate(crc->table, state, data, size);
}
