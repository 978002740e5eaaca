// How many signatures a launcher's certificate table holds. A signing tool
// writes one table entry per signature; a nested signature (a second one
// added later, often with another digest) sits inside the first one's PKCS#7
// as an unauthenticated attribute, so it is found only by reading that far.
#pragma once

#include <stdint.h>

// Counts the signers of every PKCS#7 entry in the table and, inside each
// signer, every nested signature, however deep (up to a bound). 0 when the
// table is not what signing tools write: an entry or a DER length that runs
// past what holds it, a form DER does not allow, nesting past the bound.
int CountSignatures(const uint8_t* table, uint32_t size, uint32_t* count);
