// The one copy loop of the tool, with the checksums taken on the way.
#include "files/checked_copy.h"

#include <string>
#include <vector>

#include "files/tool_limits.h"
#include "package/checksum.h"
#include "status/status.h"

CopyResult CopyWithChecksum(FILE* input, uint64_t size, FILE* output, uint32_t* checksum, ImageSum* imageSum)
{
    Crc32c crc;
    Crc32cInit(&crc);
    std::vector<uint8_t> chunk(kStreamChunk);
    uint32_t value = 0;
    for (uint64_t remaining = size; remaining > 0;) {
        uint32_t n = remaining < kStreamChunk ? static_cast<uint32_t>(remaining) : static_cast<uint32_t>(kStreamChunk);
        if (!ReadExactly(input, chunk.data(), n))
            return kCopyReadFailed;
        if (output != nullptr && !WriteAll(output, chunk.data(), n))
            return kCopyWriteFailed;
        value = Crc32cUpdate(&crc, value, chunk.data(), n);
        if (imageSum != nullptr)
            AddToImageSum(imageSum, chunk.data(), n);
        remaining -= n;
    }
    *checksum = value;
    return kCopyDone;
}

int RefuseCopy(FILE* err, CopyResult result, const char* inputRole, const char* inputPath, FILE* input,
               const AtomicOutput& output)
{
    if (result == kCopyReadFailed)
        return Refuse(err, "cannot read %s %s: %s", inputRole, inputPath, FileFailure(input).c_str());
    return Refuse(err, "cannot write OUTPUT %s: %s", output.finalPath.c_str(), FileFailure(output.file).c_str());
}
