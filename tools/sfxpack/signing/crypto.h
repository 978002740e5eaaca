// The cryptography the tool takes from the platform: OpenSSL's libcrypto on
// Linux (crypto_openssl.cpp), CryptoAPI and CNG on Windows
// (crypto_windows.cpp). Digests, and a PKCS#7 signed message decoded with
// each signer's signature checked; what Authenticode adds on top is read and
// checked by the callers.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

enum DigestAlgorithm {
    kDigestSha1,
    kDigestSha256,
    kDigestSha384,
    kDigestSha512,
    kDigestUnknown,  // one the tool does not compute
};

// A digest taken piece by piece, so that a file is streamed, never held whole.
struct DigestState;
// nullptr for kDigestUnknown or when the platform cannot make one; the
// calls below take nullptr too, and a failed digest ends empty.
DigestState* DigestBegin(DigestAlgorithm algorithm);
void DigestAdd(DigestState* state, const uint8_t* data, size_t size);
// Ends the digest and frees the state.
std::vector<uint8_t> DigestEnd(DigestState* state);

// An attribute as the signer holds it: its type in dotted form, and each of
// its values as DER, exactly as the message spells it.
struct MessageAttribute {
    std::string type;
    std::vector<std::vector<uint8_t>> values;
};

struct MessageSigner {
    std::string digestType;            // the signer's digest algorithm, dotted
    std::vector<uint8_t> certificate;  // the signer's certificate as DER; empty when the message lacks it
    std::string commonName;              // its subject's common name, UTF-8; empty when it has none
    bool signatureHolds;                 // the signature over the signed attributes, with that certificate
    std::vector<MessageAttribute> signedAttributes;
    std::vector<MessageAttribute> unsignedAttributes;
};

struct SignedMessage {
    std::string contentType;       // dotted
    std::vector<uint8_t> content;  // the signed content's DER, its own tag and length included
    std::vector<MessageSigner> signers;
};

// Decodes the DER of one ContentInfo holding SignedData and checks each
// signer's signature; empty, or why the bytes are no such message.
std::string DecodeSignedMessage(const uint8_t* der, size_t size, SignedMessage* message);

// A certificate file, PEM or DER, as DER; empty, or why it is no certificate.
std::string CertificateFromFile(const std::vector<uint8_t>& file, std::vector<uint8_t>* der);
