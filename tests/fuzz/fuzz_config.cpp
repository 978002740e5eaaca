// Fuzzes the configuration unscrambling and text start rules.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "discovery/scramble.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    uint8_t* bytes = static_cast<uint8_t*>(malloc(size + 1));
    memcpy(bytes, data, size);
    uint32_t length = static_cast<uint32_t>(size);
    uint32_t start = ConfigTextStart(bytes, length);
    if (start > length)
        abort();
    // Scrambling the unscrambled body again must give back the file's bytes.
    if (IsScrambled(data, length)) {
        ApplyKeyStream(bytes + kScrambleHeaderSize, length - kScrambleHeaderSize, data + 4);
        if (memcmp(bytes, data, size) != 0)
            abort();
    }
    free(bytes);
    return 0;
}
