// Fuzzes the signature count over arbitrary certificate tables: every
// length in them is the attacker's, so none may lead a read past the table.
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "signatures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An exact-size copy, so AddressSanitizer sees any read past the table.
    std::vector<uint8_t> table(data, data + size);
    uint32_t count = 0;
    CountSignatures(table.data(), static_cast<uint32_t>(table.size()), &count);
    return 0;
}
