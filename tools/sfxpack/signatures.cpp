// A minimal DER reader over the certificate table: only the elements on the
// way to each signer and its nested signatures are opened, and every length
// is checked against the element that holds it before anything is read.
#include "signatures.h"

#include <string.h>

#include "byte_fields.h"

namespace {

const uint32_t kEntryHeaderSize = 8;  // WIN_CERTIFICATE: length, revision, type
const uint32_t kEntryAlignment = 8;
const uint32_t kPkcsSignedData = 0x0002;
// Real files nest once or twice; a bound keeps a crafted table from
// recursing without end.
const int kMaxNesting = 8;

const uint8_t kTagInteger = 0x02;
const uint8_t kTagOid = 0x06;
const uint8_t kTagSequence = 0x30;
const uint8_t kTagSet = 0x31;
const uint8_t kTagExplicitContent = 0xA0;     // ContentInfo's [0] EXPLICIT content
const uint8_t kTagCertificates = 0xA0;        // SignedData's [0] IMPLICIT certificates
const uint8_t kTagCrls = 0xA1;                // SignedData's [1] IMPLICIT crls
const uint8_t kTagUnauthenticated = 0xA1;     // SignerInfo's [1] IMPLICIT unauthenticated attributes
const uint8_t kHighTagNumber = 0x1F;
const uint8_t kLongLength = 0x80;
const uint32_t kMaxLengthBytes = 4;

// 1.2.840.113549.1.7.2 (PKCS#7 signed data) and 1.3.6.1.4.1.311.2.4.1 (a nested signature).
const uint8_t kSignedDataOid[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
const uint8_t kNestedSignatureOid[] = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x04, 0x01};

// The bytes an element spans: what is left of its parent, or its own content.
struct Der {
    const uint8_t* data;
    uint32_t size;
};

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

bool IsOid(const Der& oid, const uint8_t* expected, uint32_t size)
{
    return oid.size == size && memcmp(oid.data, expected, size) == 0;
}

bool CountContentInfo(Der contentInfo, int depth, uint32_t* count);

// The nested signatures among a signer's unauthenticated attributes.
bool CountNested(Der attributes, int depth, uint32_t* count)
{
    while (attributes.size > 0) {
        Der attribute, type, values;
        if (!NextElementTagged(&attributes, kTagSequence, &attribute) || !NextElementTagged(&attribute, kTagOid, &type)
            || !NextElementTagged(&attribute, kTagSet, &values))
            return false;
        if (!IsOid(type, kNestedSignatureOid, sizeof(kNestedSignatureOid)))
            continue;
        while (values.size > 0) {
            Der contentInfo;
            if (!NextElementTagged(&values, kTagSequence, &contentInfo)
                || !CountContentInfo(contentInfo, depth + 1, count))
                return false;
        }
    }
    return true;
}

// One signer, and what is nested in it. Its fields before the attributes need
// no reading: the unauthenticated attributes are the only [1] element in it.
bool CountSigner(Der signer, int depth, uint32_t* count)
{
    ++*count;
    while (signer.size > 0) {
        uint8_t tag = 0;
        Der field;
        if (!NextElement(&signer, &tag, &field))
            return false;
        if (tag == kTagUnauthenticated && !CountNested(field, depth, count))
            return false;
    }
    return true;
}

// SignedData: version, digest algorithms, the signed content, optional
// certificates and revocation lists, then the signers.
bool CountSignedData(Der signedData, int depth, uint32_t* count)
{
    Der field;
    if (!NextElementTagged(&signedData, kTagInteger, &field) || !NextElementTagged(&signedData, kTagSet, &field)
        || !NextElementTagged(&signedData, kTagSequence, &field))
        return false;
    uint8_t tag = 0;
    Der signers;
    do {
        if (!NextElement(&signedData, &tag, &signers))
            return false;
    } while (tag == kTagCertificates || tag == kTagCrls);
    if (tag != kTagSet)
        return false;
    while (signers.size > 0) {
        Der signer;
        if (!NextElementTagged(&signers, kTagSequence, &signer) || !CountSigner(signer, depth, count))
            return false;
    }
    return true;
}

// A ContentInfo's fields: the signed-data type, then its content.
bool CountContentInfo(Der contentInfo, int depth, uint32_t* count)
{
    if (depth > kMaxNesting)
        return false;
    Der type, explicitContent, signedData;
    return NextElementTagged(&contentInfo, kTagOid, &type)
           && IsOid(type, kSignedDataOid, sizeof(kSignedDataOid))
           && NextElementTagged(&contentInfo, kTagExplicitContent, &explicitContent)
           && NextElementTagged(&explicitContent, kTagSequence, &signedData)
           && CountSignedData(signedData, depth, count);
}

}  // namespace

int CountSignatures(const uint8_t* table, uint32_t size, uint32_t* count)
{
    uint32_t found = 0;
    // Each entry is at least its header long, so the walk ends.
    for (uint32_t at = 0; size - at >= kEntryHeaderSize;) {
        uint32_t length = Read32(table + at);
        uint32_t type = table[at + 6] | (table[at + 7] << 8);
        if (length < kEntryHeaderSize || length > size - at)
            return 0;
        Der entry = {table + at + kEntryHeaderSize, length - kEntryHeaderSize}, contentInfo;
        if (type == kPkcsSignedData
            && (!NextElementTagged(&entry, kTagSequence, &contentInfo) || !CountContentInfo(contentInfo, 0, &found)))
            return 0;
        uint64_t padded = length + static_cast<uint64_t>((kEntryAlignment - length % kEntryAlignment) % kEntryAlignment);
        if (padded >= size - at)
            break;
        at += static_cast<uint32_t>(padded);
    }
    *count = found;
    return 1;
}
