// The one copy loop of the tool, with the checksums taken on the way.
#include "checked_copy.h"

#include <vector>

#include "file_io.h"
#include "package/checksum.h"
#include "tool_limits.h"

bool CopyWithChecksum(FILE* input, uint64_t size, FILE* output, uint32_t* checksum, ImageSum* imageSum)
{
    Crc32c crc;
    Crc32cInit(&crc);
    std::vector<uint8_t> chunk(kStreamChunk);
    uint32_t value = 0;
    for (uint64_t remaining = size; remaining > 0;) {
        uint32_t n = remaining < kStreamChunk ? static_cast<uint32_t>(remaining) : static_cast<uint32_t>(kStreamChunk);
        if (!ReadExactly(input, chunk.data(), n) || (output != nullptr && !WriteAll(output, chunk.data(), n)))
            return false;
        value = Crc32cUpdate(&crc, value, chunk.data(), n);
        if (imageSum != nullptr)
            AddToImageSum(imageSum, chunk.data(), n);
        remaining -= n;
    }
    *checksum = value;
    return true;
}
