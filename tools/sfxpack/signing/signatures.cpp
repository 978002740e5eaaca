// The table's entries and Authenticode's own content are read here; the
// PKCS#7 around them, the certificates and the signatures are the platform's
// (crypto.h). Every length is checked against what holds it before anything
// is read.
#include "signing/signatures.h"

#include <string.h>

#include <algorithm>
#include <functional>

#include "image/byte_fields.h"

namespace {

const uint32_t kEntryHeaderSize = 8;  // WIN_CERTIFICATE: length, revision, type
const uint32_t kEntryAlignment = 8;
const uint32_t kPkcsSignedData = 0x0002;
// Real files nest once or twice and hold a signature or three; bounds keep a
// crafted table from recursing without end or filling memory with records.
const int kMaxNesting = 8;
const size_t kMaxSignatures = 64;
const uint32_t kMaxCommonName = 64;  // X.520's upper bound

const uint8_t kTagOctetString = 0x04;
const uint8_t kTagOid = 0x06;
const uint8_t kTagSequence = 0x30;
const uint8_t kHighTagNumber = 0x1F;
const uint8_t kLongLength = 0x80;
const uint32_t kMaxLengthBytes = 4;

const char kIndirectData[] = "1.3.6.1.4.1.311.2.1.4";
// The signed attributes that bind the signed content: its type and its digest.
const char kContentTypeAttribute[] = "1.2.840.113549.1.9.3";
const char kMessageDigestAttribute[] = "1.2.840.113549.1.9.4";
const uint8_t kIndirectDataDer[] = {0x06, 0x0A, 0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x04};
const char kNestedSignature[] = "1.3.6.1.4.1.311.2.4.1";
// A timestamp is a signature of its own over the signer's: Authenticode's
// countersignature, or an RFC 3161 token.
const char* const kTimestamps[] = {"1.2.840.113549.1.9.6", "1.3.6.1.4.1.311.3.3.1"};

struct KnownDigest {
    const char* oid;  // dotted, as the platform names a signer's
    const char* der;  // the same identifier's DER content, as the signed content holds it
    DigestAlgorithm algorithm;
    const char* name;
};

const KnownDigest kKnownDigests[] = {
    {"1.3.14.3.2.26", "\x2B\x0E\x03\x02\x1A", kDigestSha1, "SHA-1"},
    {"2.16.840.1.101.3.4.2.1", "\x60\x86\x48\x01\x65\x03\x04\x02\x01", kDigestSha256, "SHA-256"},
    {"2.16.840.1.101.3.4.2.2", "\x60\x86\x48\x01\x65\x03\x04\x02\x02", kDigestSha384, "SHA-384"},
    {"2.16.840.1.101.3.4.2.3", "\x60\x86\x48\x01\x65\x03\x04\x02\x03", kDigestSha512, "SHA-512"},
    {"1.2.840.113549.2.5", "\x2A\x86\x48\x86\xF7\x0D\x02\x05", kDigestUnknown, "MD5"},
};

const char kNotIndirectData[] = "a signature's signed content is not Authenticode's indirect data";

// The bytes an element spans: what is left of its parent, or its own content.
struct Der {
    const uint8_t* data;
    uint32_t size;
};

// What the walk has found so far, and why it stopped.
struct Walk {
    const uint8_t* table;
    uint32_t tableSize;
    SignatureTable* found;
    std::string problem;
};

bool Fail(Walk* walk, const std::string& problem)
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

bool AllZero(const uint8_t* bytes, uint32_t size)
{
    return std::all_of(bytes, bytes + size, [](uint8_t b) { return b == 0; });
}

const KnownDigest* FindDigest(const std::string& oid, bool der)
{
    for (const KnownDigest& known : kKnownDigests) {
        if (oid == (der ? known.der : known.oid))
            return &known;
    }
    return nullptr;
}

// The common name as it may be printed: short, and without control characters
// (C1 ones in UTF-8 included) that a terminal acts on.
std::string PrintableName(const std::string& name)
{
    if (name.size() > kMaxCommonName)
        return std::string();
    for (size_t i = 0; i < name.size(); ++i) {
        uint8_t c = static_cast<uint8_t>(name[i]);
        if (c < 0x20 || c == 0x7F || (c == 0xC2 && i + 1 < name.size() && static_cast<uint8_t>(name[i + 1]) < 0xA0))
            return std::string();
    }
    return name;
}

// The signed content, SpcIndirectDataContent: SEQUENCE { SEQUENCE data,
// DigestInfo SEQUENCE { AlgorithmIdentifier SEQUENCE { OID, ... }, OCTET STRING } }.
// Its signed attributes' messageDigest covers the SEQUENCE's content octets.
bool ReadIndirectData(const std::vector<uint8_t>& content, Der* octets, SignatureRecord* record, Walk* walk)
{
    Der whole = {content.data(), static_cast<uint32_t>(content.size())}, data, digestInfo, algorithm, oid, digest;
    if (!NextElementTagged(&whole, kTagSequence, octets) || whole.size != 0)
        return Fail(walk, kNotIndirectData);
    Der indirect = *octets;
    if (!NextElementTagged(&indirect, kTagSequence, &data) || !NextElementTagged(&indirect, kTagSequence, &digestInfo)
        || !NextElementTagged(&digestInfo, kTagSequence, &algorithm) || !NextElementTagged(&algorithm, kTagOid, &oid)
        || !NextElementTagged(&digestInfo, kTagOctetString, &digest))
        return Fail(walk, kNotIndirectData);
    const KnownDigest* known = FindDigest(std::string(reinterpret_cast<const char*>(oid.data), oid.size), true);
    record->algorithm = known != nullptr ? known->algorithm : kDigestUnknown;
    record->algorithmName = known != nullptr ? known->name : "an unknown algorithm's";
    record->digest.assign(digest.data, digest.data + digest.size);
    return true;
}

std::vector<uint8_t> DigestOf(DigestAlgorithm algorithm, const uint8_t* data, size_t size)
{
    DigestState* state = DigestBegin(algorithm);
    if (state == nullptr)
        return std::vector<uint8_t>();
    DigestAdd(state, data, size);
    return DigestEnd(state);
}

bool ReadMessage(const uint8_t* der, uint32_t size, int depth, uint32_t nestedIn, Walk* walk);

// The value of the signed attribute of this type when there is exactly one
// with one value: with two, which one counts would be the reader's guess.
const std::vector<uint8_t>* SoleValue(const MessageSigner& signer, const char* type)
{
    const std::vector<uint8_t>* value = nullptr;
    for (const MessageAttribute& attribute : signer.signedAttributes) {
        if (attribute.type != type)
            continue;
        if (value != nullptr || attribute.values.size() != 1)
            return nullptr;
        value = &attribute.values[0];
    }
    return value;
}

// The messageDigest the signer signed for Authenticode's content: empty unless
// the signed contentType names that content, so that a signature the same key
// made over content of another kind cannot be relabelled as a launcher's.
std::vector<uint8_t> SignedDigest(const MessageSigner& signer)
{
    const std::vector<uint8_t>* type = SoleValue(signer, kContentTypeAttribute);
    const std::vector<uint8_t>* digest = SoleValue(signer, kMessageDigestAttribute);
    if (type == nullptr || digest == nullptr
        || !std::equal(type->begin(), type->end(), std::begin(kIndirectDataDer), std::end(kIndirectDataDer)))
        return std::vector<uint8_t>();
    Der value = {digest->data(), static_cast<uint32_t>(digest->size())}, octets;
    if (!NextElementTagged(&value, kTagOctetString, &octets) || value.size != 0)
        return std::vector<uint8_t>();
    return std::vector<uint8_t>(octets.data, octets.data + octets.size);
}

// An attribute value's place in the table: the first place its own bytes
// are (the platform hands them over as the table spells them); kNowhere when
// they are not there as they are.
uint32_t PlaceInTable(const Walk& walk, const std::vector<uint8_t>& value)
{
    const uint8_t* end = walk.table + walk.tableSize;
    // Boyer-Moore: linear however the table's bytes repeat.
    const uint8_t* at = std::search(walk.table, end, std::boyer_moore_searcher<const uint8_t*>(value.data(), value.data() + value.size()));
    return at != end ? static_cast<uint32_t>(at - walk.table) : kNowhere;
}

// Nested signatures are read as signatures; timestamps are countersignatures,
// left to the tools that check them; anything else no signature covers.
bool ReadUnsigned(const MessageSigner& signer, int depth, uint32_t number, Walk* walk)
{
    for (const MessageAttribute& attribute : signer.unsignedAttributes) {
        bool timestamp = std::find(std::begin(kTimestamps), std::end(kTimestamps), attribute.type) != std::end(kTimestamps);
        for (const std::vector<uint8_t>& value : attribute.values) {
            if (attribute.type == kNestedSignature) {
                if (!ReadMessage(value.data(), static_cast<uint32_t>(value.size()), depth + 1, number, walk))
                    return false;
            } else if (!timestamp) {
                walk->found->uncovered.push_back({PlaceInTable(*walk, value),
                                                  static_cast<uint32_t>(value.size()), false,
                                                  "unauthenticated attribute " + attribute.type + " of signature "
                                                      + std::to_string(number)});
            }
        }
    }
    return true;
}

// One ContentInfo with SignedData: a record for each of its signers, then
// the signatures nested in it.
bool ReadMessage(const uint8_t* der, uint32_t size, int depth, uint32_t nestedIn, Walk* walk)
{
    if (depth > kMaxNesting)
        return Fail(walk, "its signatures are nested deeper than any signing tool nests them");
    SignedMessage message;
    std::string problem = DecodeSignedMessage(der, size, &message);
    if (!problem.empty())
        return Fail(walk, "a signature is not PKCS#7 signed data: " + problem);
    SignatureRecord shared = {nestedIn, kDigestUnknown, std::string(), {}, false, false, {}, std::string()};
    Der octets;
    if (message.contentType != kIndirectData || !ReadIndirectData(message.content, &octets, &shared, walk))
        return Fail(walk, kNotIndirectData);
    // Authenticode's one signer: with none, the certificates and content would
    // ride along unchecked; a second is one Windows does not look at.
    if (message.signers.size() != 1)
        return Fail(walk, "a signature's PKCS#7 has " + std::to_string(message.signers.size())
                              + " signers, where Authenticode's has one");
    for (const MessageSigner& signer : message.signers) {
        if (walk->found->signatures.size() >= kMaxSignatures)
            return Fail(walk, "it holds more signatures than any signing tool writes");
        const KnownDigest* known = FindDigest(signer.digestType, false);
        SignatureRecord record = shared;
        // A signer whose digest the tool does not compute leaves the whole signature unchecked.
        if (known == nullptr || known->algorithm == kDigestUnknown)
            record.algorithm = kDigestUnknown;
        else {
            std::vector<uint8_t> signedDigest = SignedDigest(signer);
            record.contentMatches = !signedDigest.empty()
                                    && DigestOf(known->algorithm, octets.data, octets.size) == signedDigest;
        }
        record.signatureHolds = signer.signatureHolds;
        if (!signer.certificate.empty())
            record.fingerprint = DigestOf(kDigestSha256, signer.certificate.data(), signer.certificate.size());
        record.signer = PrintableName(signer.commonName);
        walk->found->signatures.push_back(record);
        if (!ReadUnsigned(signer, depth, static_cast<uint32_t>(walk->found->signatures.size()), walk))
            return false;
    }
    return true;
}

// One table entry from its start at: the signature, then the padding to the
// next entry (*next), which only zeros short of the alignment may fill.
bool ReadEntry(uint32_t at, Walk* walk, uint32_t* next)
{
    const uint8_t* table = walk->table;
    uint32_t size = walk->tableSize;
    uint32_t length = Read32(table + at);
    uint32_t type = Read16(table + at + 6);
    if (length < kEntryHeaderSize || length > size - at)
        return Fail(walk, "an entry's length runs past the table");
    // An entry of another kind would be carried along unsigned.
    if (type != kPkcsSignedData)
        return Fail(walk, "an entry is not a PKCS#7 signature");
    Der entry = {table + at + kEntryHeaderSize, length - kEntryHeaderSize}, content;
    const uint8_t* start = entry.data;
    if (!NextElementTagged(&entry, kTagSequence, &content))
        return Fail(walk, "an entry's DER is cut short, runs past the entry, or is not a SEQUENCE");
    uint32_t messageSize = static_cast<uint32_t>(entry.data - start);
    if (!ReadMessage(start, messageSize, 0, 0, walk))
        return false;
    uint64_t padded = length + static_cast<uint64_t>((kEntryAlignment - length % kEntryAlignment) % kEntryAlignment);
    *next = padded < size - at ? at + static_cast<uint32_t>(padded) : size;
    uint32_t end = static_cast<uint32_t>(entry.data - table);
    if (*next - end >= kEntryAlignment || !AllZero(table + end, *next - end))
        walk->found->uncovered.push_back({end, *next - end, true,
                                          "after the PKCS#7 of signature " + std::to_string(walk->found->signatures.size())});
    return true;
}

}  // namespace

std::string ReadSignatures(const uint8_t* table, uint32_t size, SignatureTable* signatures)
{
    *signatures = SignatureTable();
    Walk walk = {table, size, signatures, std::string()};
    // Each entry is at least its header long, so the walk ends.
    for (uint32_t at = 0; at < size;) {
        if (size - at < kEntryHeaderSize) {
            if (!AllZero(table + at, size - at))
                signatures->uncovered.push_back({at, size - at, true, "at the end of the table"});
            break;
        }
        if (!ReadEntry(at, &walk, &at))
            return walk.problem;
    }
    return std::string();
}
