// A minimal DER reader over the certificate table: only the elements on the
// way to each signer, its digest, its certificate's name and its nested
// signatures are opened, and every length is checked against the element
// that holds it before anything is read.
#include "signatures.h"

#include <string.h>

#include "byte_fields.h"

namespace {

const uint32_t kEntryHeaderSize = 8;  // WIN_CERTIFICATE: length, revision, type
const uint32_t kEntryAlignment = 8;
const uint32_t kPkcsSignedData = 0x0002;
// Real files nest once or twice and hold a signature or three; bounds keep a
// crafted table from recursing without end or filling memory with records.
const int kMaxNesting = 8;
const size_t kMaxSignatures = 64;
const uint32_t kMaxDigestSize = 64;    // SHA-512's
const uint32_t kMaxCommonName = 64;    // X.520's upper bound
const uint32_t kMaxOidShown = 32;      // longer identifiers are not spelled out

const uint8_t kTagInteger = 0x02;
const uint8_t kTagOctetString = 0x04;
const uint8_t kTagOid = 0x06;
const uint8_t kTagUtf8String = 0x0C;
const uint8_t kTagPrintableString = 0x13;
const uint8_t kTagIa5String = 0x16;
const uint8_t kTagSequence = 0x30;
const uint8_t kTagSet = 0x31;
const uint8_t kTagExplicitContent = 0xA0;     // ContentInfo's [0] EXPLICIT content
const uint8_t kTagCertificates = 0xA0;        // SignedData's [0] IMPLICIT certificates
const uint8_t kTagCrls = 0xA1;                // SignedData's [1] IMPLICIT crls
const uint8_t kTagVersion = 0xA0;             // a certificate's [0] EXPLICIT version
const uint8_t kTagUnauthenticated = 0xA1;     // SignerInfo's [1] IMPLICIT unauthenticated attributes
const uint8_t kHighTagNumber = 0x1F;
const uint8_t kLongLength = 0x80;
const uint32_t kMaxLengthBytes = 4;

// 1.2.840.113549.1.7.2 (PKCS#7 signed data), 1.3.6.1.4.1.311.2.4.1 (a nested
// signature), 1.3.6.1.4.1.311.2.1.4 (the indirect data that holds the file's
// digest) and 2.5.4.3 (common name).
const uint8_t kSignedDataOid[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
const uint8_t kNestedSignatureOid[] = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x04, 0x01};
const uint8_t kIndirectDataOid[] = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x04};
const uint8_t kCommonNameOid[] = {0x55, 0x04, 0x03};

struct KnownDigest {
    uint8_t oid[9];
    uint32_t oidSize;
    DigestAlgorithm algorithm;
    const char* name;
};

const KnownDigest kKnownDigests[] = {
    {{0x2B, 0x0E, 0x03, 0x02, 0x1A}, 5, kDigestSha1, "SHA-1"},
    {{0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01}, 9, kDigestSha256, "SHA-256"},
    {{0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x02}, 9, kDigestUnchecked, "SHA-384"},
    {{0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03}, 9, kDigestUnchecked, "SHA-512"},
    {{0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x02, 0x05}, 8, kDigestUnchecked, "MD5"},
};

const char kCutShort[] = "an element is cut short, runs past what holds it, or is not DER";
const char kMisplaced[] = "an element is not what an Authenticode signature holds there";

// The bytes an element spans: what is left of its parent, or its own content.
struct Der {
    const uint8_t* data;
    uint32_t size;
};

// What the walk has found so far, and why it stopped.
struct Walk {
    std::vector<SignatureRecord>* signatures;
    const char* problem;
};

bool Fail(Walk* walk, const char* problem)
{
    walk->problem = problem;
    return false;
}

// Takes the next element off the front of in: its tag and its content.
bool NextElement(Der* in, uint8_t* tag, Der* content)
{
    if (in->size < 2 || (in->data[0] & kHighTagNumber) == kHighTagNumber)
        return false;
    *tag = in->data[0];
    uint32_t header = 2;
    uint32_t length = in->data[1];
    if (length & kLongLength) {
        // The indefinite form (no length bytes) is BER, not DER.
        uint32_t lengthBytes = length & ~static_cast<uint32_t>(kLongLength);
        if (lengthBytes == 0 || lengthBytes > kMaxLengthBytes || lengthBytes > in->size - header)
            return false;
        length = 0;
        for (uint32_t i = 0; i < lengthBytes; ++i)
            length = (length << 8) | in->data[header + i];
        header += lengthBytes;
    }
    if (length > in->size - header)
        return false;
    content->data = in->data + header;
    content->size = length;
    in->data += header + length;
    in->size -= header + length;
    return true;
}

bool NextElementTagged(Der* in, uint8_t tag, Der* content)
{
    uint8_t found = 0;
    return NextElement(in, &found, content) && found == tag;
}

// The same, for an element the signature cannot do without: why it is missing goes to walk.
bool Take(Walk* walk, Der* in, uint8_t tag, Der* content)
{
    uint8_t found = 0;
    if (!NextElement(in, &found, content))
        return Fail(walk, kCutShort);
    return found == tag || Fail(walk, kMisplaced);
}

bool AllZero(const uint8_t* bytes, uint32_t size)
{
    for (uint32_t i = 0; i < size; ++i) {
        if (bytes[i] != 0)
            return false;
    }
    return true;
}

bool SameBytes(const Der& a, const uint8_t* b, uint32_t size)
{
    return a.size == size && memcmp(a.data, b, size) == 0;
}

// An identifier in dotted form, for an algorithm the tool has no name for.
std::string DottedOid(const Der& oid)
{
    // The last byte ends the last arc; one that says more follow is cut.
    if (oid.size == 0 || oid.size > kMaxOidShown || (oid.data[oid.size - 1] & 0x80))
        return "an unnamed algorithm";
    std::string text;
    uint64_t arc = 0;
    for (uint32_t i = 0; i < oid.size; ++i) {
        arc = (arc << 7) | (oid.data[i] & 0x7F);
        if (oid.data[i] & 0x80) {
            if (arc >> 56 != 0)
                return "an unnamed algorithm";
            continue;
        }
        if (text.empty())
            text = arc < 80 ? std::to_string(arc / 40) + "." + std::to_string(arc % 40)
                            : "2." + std::to_string(arc - 80);
        else
            text += "." + std::to_string(arc);
        arc = 0;
    }
    return text;
}

// The common name as it may be printed: one of the plain string types, short,
// and without control characters (C1 ones in UTF-8 included) that a terminal acts on.
bool PrintableName(uint8_t tag, const Der& value)
{
    if ((tag != kTagUtf8String && tag != kTagPrintableString && tag != kTagIa5String) || value.size == 0
        || value.size > kMaxCommonName)
        return false;
    for (uint32_t i = 0; i < value.size; ++i) {
        uint8_t c = value.data[i];
        if (c < 0x20 || c == 0x7F || (c == 0xC2 && i + 1 < value.size && value.data[i + 1] < 0xA0))
            return false;
    }
    return true;
}

// The first common name in a distinguished name: its SETs of type-and-value SEQUENCEs.
std::string CommonName(Der name)
{
    Der set;
    while (NextElementTagged(&name, kTagSet, &set)) {
        Der pair, type, value;
        uint8_t tag = 0;
        while (NextElementTagged(&set, kTagSequence, &pair)) {
            if (NextElementTagged(&pair, kTagOid, &type) && SameBytes(type, kCommonNameOid, sizeof(kCommonNameOid))
                && NextElement(&pair, &tag, &value) && PrintableName(tag, value))
                return std::string(reinterpret_cast<const char*>(value.data), value.size);
        }
    }
    return std::string();
}

// The subject's common name of the certificate with this issuer and serial
// number, the pair a signer names its certificate by. A certificate of
// another shape is passed over: the name is a courtesy, not part of the check.
std::string SignerName(Der certificates, const Der& issuer, const Der& serial)
{
    Der certificate;
    while (NextElementTagged(&certificates, kTagSequence, &certificate)) {
        Der tbs, field, ownSerial, ownIssuer, subject;
        uint8_t tag = 0;
        if (!NextElementTagged(&certificate, kTagSequence, &tbs) || !NextElement(&tbs, &tag, &field))
            continue;
        ownSerial = field;
        if (tag == kTagVersion && !NextElementTagged(&tbs, kTagInteger, &ownSerial))
            continue;
        if (NextElementTagged(&tbs, kTagSequence, &field) && NextElementTagged(&tbs, kTagSequence, &ownIssuer)
            && NextElementTagged(&tbs, kTagSequence, &field) && NextElementTagged(&tbs, kTagSequence, &subject)
            && SameBytes(ownSerial, serial.data, serial.size) && SameBytes(ownIssuer, issuer.data, issuer.size))
            return CommonName(subject);
    }
    return std::string();
}

// What every signer of one SignedData shares: the file's digest it signs, and
// the certificates it is found among.
struct SignedContent {
    DigestAlgorithm algorithm;
    std::string algorithmName;
    Der digest;
    Der certificates;
};

// The signed content: the indirect data type, then [0] SEQUENCE { SEQUENCE
// data, DigestInfo SEQUENCE { AlgorithmIdentifier SEQUENCE { OID, ... }, OCTET STRING } }.
bool ReadIndirectData(Der encapsulated, Walk* walk, SignedContent* content)
{
    Der type, explicitContent, indirect, data, digestInfo, algorithm, oid;
    if (!Take(walk, &encapsulated, kTagOid, &type))
        return false;
    if (!SameBytes(type, kIndirectDataOid, sizeof(kIndirectDataOid)))
        return Fail(walk, kMisplaced);
    if (!Take(walk, &encapsulated, kTagExplicitContent, &explicitContent)
        || !Take(walk, &explicitContent, kTagSequence, &indirect) || !Take(walk, &indirect, kTagSequence, &data)
        || !Take(walk, &indirect, kTagSequence, &digestInfo) || !Take(walk, &digestInfo, kTagSequence, &algorithm)
        || !Take(walk, &algorithm, kTagOid, &oid) || !Take(walk, &digestInfo, kTagOctetString, &content->digest))
        return false;
    if (content->digest.size > kMaxDigestSize)
        return Fail(walk, kMisplaced);
    content->algorithm = kDigestUnchecked;
    content->algorithmName = DottedOid(oid);
    for (const KnownDigest& known : kKnownDigests) {
        if (SameBytes(oid, known.oid, known.oidSize)) {
            content->algorithm = known.algorithm;
            content->algorithmName = known.name;
        }
    }
    return true;
}

bool ReadContentInfo(Der contentInfo, int depth, uint32_t nestedIn, Walk* walk);

// The nested signatures among a signer's unauthenticated attributes.
bool ReadNested(Der attributes, int depth, uint32_t nestedIn, Walk* walk)
{
    while (attributes.size > 0) {
        Der attribute, type, values;
        if (!Take(walk, &attributes, kTagSequence, &attribute) || !Take(walk, &attribute, kTagOid, &type)
            || !Take(walk, &attribute, kTagSet, &values))
            return false;
        if (!SameBytes(type, kNestedSignatureOid, sizeof(kNestedSignatureOid)))
            continue;
        while (values.size > 0) {
            Der contentInfo;
            if (!Take(walk, &values, kTagSequence, &contentInfo)
                || !ReadContentInfo(contentInfo, depth + 1, nestedIn, walk))
                return false;
        }
    }
    return true;
}

// One signer: version, the issuer and serial number of its certificate, then
// fields that need no reading up to the unauthenticated attributes, the only
// [1] element in it.
bool ReadSigner(Der signer, const SignedContent& content, int depth, uint32_t nestedIn, Walk* walk)
{
    if (walk->signatures->size() >= kMaxSignatures)
        return Fail(walk, "it holds more signatures than any signing tool writes");
    SignatureRecord record = {nestedIn, content.algorithm, content.algorithmName,
                              std::vector<uint8_t>(content.digest.data, content.digest.data + content.digest.size),
                              std::string()};
    Der field, issuer, serial;
    uint8_t tag = 0;
    if (!Take(walk, &signer, kTagInteger, &field))
        return false;
    if (!NextElement(&signer, &tag, &field))
        return Fail(walk, kCutShort);
    // A signer may name its certificate by key identifier instead; it then goes unnamed.
    if (tag == kTagSequence && NextElementTagged(&field, kTagSequence, &issuer)
        && NextElementTagged(&field, kTagInteger, &serial))
        record.signer = SignerName(content.certificates, issuer, serial);
    walk->signatures->push_back(record);
    uint32_t number = static_cast<uint32_t>(walk->signatures->size());
    while (signer.size > 0) {
        if (!NextElement(&signer, &tag, &field))
            return Fail(walk, kCutShort);
        if (tag == kTagUnauthenticated && !ReadNested(field, depth, number, walk))
            return false;
    }
    return true;
}

// SignedData: version, digest algorithms, the signed content, optional
// certificates and revocation lists, then the signers.
bool ReadSignedData(Der signedData, int depth, uint32_t nestedIn, Walk* walk)
{
    Der field, signers;
    SignedContent content = {};
    if (!Take(walk, &signedData, kTagInteger, &field) || !Take(walk, &signedData, kTagSet, &field)
        || !Take(walk, &signedData, kTagSequence, &field) || !ReadIndirectData(field, walk, &content))
        return false;
    uint8_t tag = 0;
    do {
        if (!NextElement(&signedData, &tag, &signers))
            return Fail(walk, kCutShort);
        if (tag == kTagCertificates)
            content.certificates = signers;
    } while (tag == kTagCertificates || tag == kTagCrls);
    if (tag != kTagSet)
        return Fail(walk, kMisplaced);
    while (signers.size > 0) {
        Der signer;
        if (!Take(walk, &signers, kTagSequence, &signer) || !ReadSigner(signer, content, depth, nestedIn, walk))
            return false;
    }
    return true;
}

// A ContentInfo's fields: the signed-data type, then its content.
bool ReadContentInfo(Der contentInfo, int depth, uint32_t nestedIn, Walk* walk)
{
    if (depth > kMaxNesting)
        return Fail(walk, "its signatures are nested deeper than any signing tool nests them");
    Der type, explicitContent, signedData;
    if (!Take(walk, &contentInfo, kTagOid, &type))
        return false;
    if (!SameBytes(type, kSignedDataOid, sizeof(kSignedDataOid)))
        return Fail(walk, kMisplaced);
    return Take(walk, &contentInfo, kTagExplicitContent, &explicitContent)
           && Take(walk, &explicitContent, kTagSequence, &signedData)
           && ReadSignedData(signedData, depth, nestedIn, walk);
}

}  // namespace

int ReadSignatures(const uint8_t* table, uint32_t size, std::vector<SignatureRecord>* signatures,
                   const char** problem)
{
    signatures->clear();
    Walk walk = {signatures, nullptr};
    // Each entry is at least its header long, so the walk ends.
    for (uint32_t at = 0; at < size;) {
        if (size - at < kEntryHeaderSize) {
            if (AllZero(table + at, size - at))
                break;
            *problem = "bytes that belong to no signature end it";
            return 0;
        }
        uint32_t length = Read32(table + at);
        uint32_t type = table[at + 6] | (table[at + 7] << 8);
        if (length < kEntryHeaderSize || length > size - at) {
            *problem = "an entry's length runs past the table";
            return 0;
        }
        // The table lies outside every digest: an entry of another kind, or
        // bytes after a signature's own, would be carried along unsigned.
        if (type != kPkcsSignedData) {
            *problem = "an entry is not a PKCS#7 signature";
            return 0;
        }
        Der entry = {table + at + kEntryHeaderSize, length - kEntryHeaderSize}, contentInfo;
        if (!Take(&walk, &entry, kTagSequence, &contentInfo) || !ReadContentInfo(contentInfo, 0, 0, &walk)) {
            *problem = walk.problem;
            return 0;
        }
        uint64_t padded = length + static_cast<uint64_t>((kEntryAlignment - length % kEntryAlignment) % kEntryAlignment);
        uint32_t next = padded < size - at ? at + static_cast<uint32_t>(padded) : size;
        uint32_t signatureEnd = static_cast<uint32_t>(entry.data - table);
        if (next - signatureEnd >= kEntryAlignment || !AllZero(table + signatureEnd, next - signatureEnd)) {
            *problem = "bytes that belong to no signature follow one";
            return 0;
        }
        at = next;
    }
    return 1;
}
