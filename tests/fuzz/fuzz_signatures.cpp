// Fuzzes the signature reader over arbitrary certificate tables: every
// length in them is the attacker's, so none may lead a read past the table,
// and no nesting or count may go on without end.
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "signing/signatures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An exact-size copy, so AddressSanitizer sees any read past the table.
    std::vector<uint8_t> table(data, data + size);
    SignatureTable signatures;
    ReadSignatures(table.data(), static_cast<uint32_t>(table.size()), &signatures);
    // Every place reported lies inside the table.
    for (const UncoveredBytes& bytes : signatures.uncovered) {
        if (bytes.offset != kNowhere && (bytes.offset > table.size() || bytes.size > table.size() - bytes.offset))
            __builtin_trap();
    }
    return 0;
}
