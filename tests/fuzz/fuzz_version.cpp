// Fuzzes the version text parser and the version key on arbitrary bytes.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "package/version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    char* text = static_cast<char*>(malloc(size + 1));
    memcpy(text, data, size);
    text[size] = '\0';
    VersionTriple v = {0, 0, 0};
    int result = ParseVersion(text, &v.major, &v.minor, &v.build);
    if (result != 0 && result != 1)
        abort();
    VersionKey(v);
    free(text);
    return 0;
}
