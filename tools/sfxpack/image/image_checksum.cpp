// The PE image checksum, over bytes streamed in any chunks.
#include "image/image_checksum.h"

#include "image/byte_fields.h"

namespace {

const uint32_t kNewHeaderField = 0x3C;
const uint32_t kOptionalHeaderSizeField = 4 + 16;  // after the signature, in the file header
const uint32_t kChecksumField = 4 + 20 + 64;       // the same in PE32 and PE32+ optional headers
const uint32_t kOptionalHeaderReach = 64 + 4;

}  // namespace

void AddToImageSum(ImageSum* sum, const uint8_t* bytes, size_t size)
{
    uint64_t words = sum->words;
    size_t i = 0;
    // A chunk that starts at an odd offset starts with a word's high byte.
    if (sum->end % 2 != 0 && size > 0)
        words += static_cast<uint32_t>(bytes[i++]) << 8;
    for (; i + 1 < size; i += 2)
        words += Read16(bytes + i);
    // A last odd byte is the low byte of a word whose high byte is zero, or
    // that the next chunk completes.
    if (i < size)
        words += bytes[i];
    sum->words = words;
    sum->end += size;
}

uint32_t FoldImageChecksum(uint64_t words, uint64_t fileSize)
{
    while (words > 0xFFFF)
        words = (words & 0xFFFF) + (words >> 16);
    return static_cast<uint32_t>(words + fileSize);
}

bool ImageChecksumField(const uint8_t* headers, size_t size, uint32_t* at)
{
    if (size < kNewHeaderField + 4)
        return false;
    uint64_t pe = Read32(headers + kNewHeaderField);
    if (pe + kChecksumField + 4 > size || Read16(headers + pe + kOptionalHeaderSizeField) < kOptionalHeaderReach)
        return false;
    *at = static_cast<uint32_t>(pe + kChecksumField);
    return true;
}

uint32_t ReadImageChecksum(const uint8_t* headers, uint32_t at)
{
    return Read32(headers + at);
}

void WriteImageChecksum(uint8_t* headers, uint32_t at, uint32_t checksum)
{
    for (int i = 0; i < 4; ++i)
        headers[at + i] = static_cast<uint8_t>(checksum >> (8 * i));
}
