// The signatures in a launcher's certificate table. A signing tool writes one
// table entry per signature; a nested signature (a second one added later,
// often with another digest) sits inside the first one's PKCS#7 as an
// unauthenticated attribute, so it is found only by reading that far.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "signing/crypto.h"

struct SignatureRecord {
    uint32_t nestedIn;  // 0, or the number (from 1) of the signature that holds this one
    DigestAlgorithm algorithm;
    std::string algorithmName;    // "SHA-256", "MD5", or "an unknown algorithm's"
    std::vector<uint8_t> digest;  // the file's digest as the signed content states it
    // The signed content (the file's digest and its description) against the
    // signed attributes' messageDigest, and the signer's signature over those
    // attributes: Authenticode's chain from the file to the signer's key.
    bool contentMatches;
    bool signatureHolds;
    std::vector<uint8_t> fingerprint;  // the SHA-256 of the signer's certificate; empty when the table lacks it
    std::string signer;                // the certificate's common name; empty when it cannot be shown
};

// Bytes in the table that no signature covers: an unauthenticated attribute
// that is neither a nested signature nor a timestamp, or bytes after a
// signature's PKCS#7 besides the alignment's zeros.
const uint32_t kNowhere = 0xFFFFFFFFu;

struct UncoveredBytes {
    uint32_t offset;  // from the start of the table; kNowhere when not found as the platform spelled it
    uint32_t size;
    bool trailing;  // after a signature's PKCS#7, where Windows' padding check refuses them too
    std::string what;
};

struct SignatureTable {
    std::vector<SignatureRecord> signatures;  // each followed by those nested in it
    std::vector<UncoveredBytes> uncovered;
};

// Empty, or why the table is not what signing tools write: an entry or a DER
// length that runs past what holds it, PKCS#7 the platform cannot decode,
// signed content that is not Authenticode's, nesting or a count past their
// bounds, an entry of another kind.
std::string ReadSignatures(const uint8_t* table, uint32_t size, SignatureTable* signatures);
