// Fuzzes the package header walk over an in-memory package.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "package/header_walk.h"

namespace {

struct Memory {
    const uint8_t* data;
    size_t size;
    size_t position;
};

int ReadMemory(void* source, void* buffer, uint32_t size)
{
    Memory* m = static_cast<Memory*>(source);
    // The walk must never ask for more than its scratch buffer holds.
    if (size > kHeaderScratchSize)
        abort();
    if (size > m->size - m->position)
        return 0;
    memcpy(buffer, m->data + m->position, size);
    m->position += size;
    return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Memory m = {data, size, 0};
    PackageHeader header = {};
    HeaderStop stop;
    int result = WalkPackageHeaderEx(ReadMemory, &m, &header, &stop);
    if (result != 0 && result != 1)
        abort();
    if (header.hasFormatType && (result != 1 || stop != kHeaderComplete))
        abort();
    return 0;
}
