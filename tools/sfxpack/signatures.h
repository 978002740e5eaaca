// The signatures in a launcher's certificate table. A signing tool writes one
// table entry per signature; a nested signature (a second one added later,
// often with another digest) sits inside the first one's PKCS#7 as an
// unauthenticated attribute, so it is found only by reading that far.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

enum DigestAlgorithm {
    kDigestSha1,
    kDigestSha256,
    kDigestUnchecked,  // one the tool does not compute
};

struct SignatureRecord {
    uint32_t nestedIn;  // 0, or the number (from 1) of the signature that holds this one
    DigestAlgorithm algorithm;
    std::string algorithmName;    // "SHA-256", "SHA-512", or the identifier in dotted form
    std::vector<uint8_t> digest;  // the file's digest as the signature states it
    std::string signer;           // the signing certificate's common name; empty when it cannot be read
};

// 1 and every signature of every PKCS#7 entry, each followed by those nested
// in it. 0 and the reason in *problem when the table is not what signing
// tools write: an entry or a DER length that runs past what holds it, a form
// DER does not allow, an element that is not where Authenticode puts it,
// nesting or a count past their bounds, an entry of another kind or bytes
// besides the alignment's zeros, which no digest would cover.
int ReadSignatures(const uint8_t* table, uint32_t size, std::vector<SignatureRecord>* signatures,
                   const char** problem);
