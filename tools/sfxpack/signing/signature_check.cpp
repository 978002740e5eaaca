// The Authenticode digest of a launcher, streamed in bounded chunks, so a
// launcher of up to 4 GiB is read once and never held whole; the rest of
// each signature's chain comes from the table.
#include "signing/signature_check.h"

#include <string.h>

#include "files/tool_limits.h"
#include "image/image_checksum.h"
#include "package/image_layout.h"
#include "platform/file_io.h"
#include "signing/crypto.h"
#include "signing/signatures.h"

namespace {

const uint32_t kChecksumSize = 4, kEntrySize = 8;
const size_t kFingerprintSize = 32;                  // SHA-256's
const uint64_t kMaxCertificateFileSize = 1u << 20;  // certificates are a few kilobytes
const int kDigestCount = kDigestUnknown;

std::string HexText(const std::vector<uint8_t>& bytes)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0xF];
    }
    return text;
}

std::vector<uint8_t> Sha256Of(const uint8_t* data, size_t size)
{
    DigestState* state = DigestBegin(kDigestSha256);
    DigestAdd(state, data, size);
    return DigestEnd(state);
}

// 64 hex digits, colons between them allowed, as openssl x509 -fingerprint prints them.
bool ParseFingerprint(const char* text, std::vector<uint8_t>* fingerprint)
{
    std::string digits;
    for (const char* at = text; *at != '\0'; ++at) {
        if (*at != ':')
            digits += *at;
    }
    if (digits.size() != 2 * kFingerprintSize || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    for (size_t i = 0; i < digits.size(); i += 2)
        fingerprint->push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return true;
}

// The digests the signatures ask for, as signing tools take them: every byte
// before the certificate table but the CheckSum field and the table's
// directory entry, the signer's padding before the table included.
struct FileDigests {
    DigestState* states[kDigestCount];
    std::vector<uint8_t> values[kDigestCount];
};

bool DigestFile(FILE* file, uint32_t checksumField, uint32_t entryField, uint32_t table, FileDigests* digests)
{
    const uint32_t ranges[3][2] = {
        {0, checksumField}, {checksumField + kChecksumSize, entryField}, {entryField + kEntrySize, table}};
    std::vector<uint8_t> chunk(kStreamChunk);
    bool read = true;
    for (const auto& range : ranges) {
        read = read && SeekTo(file, range[0]);
        for (uint32_t at = range[0]; read && at < range[1];) {
            size_t size = range[1] - at < kStreamChunk ? range[1] - at : kStreamChunk;
            read = ReadExactly(file, chunk.data(), size);
            for (DigestState* state : digests->states) {
                if (read && state != nullptr)
                    DigestAdd(state, chunk.data(), size);
            }
            at += static_cast<uint32_t>(size);
        }
    }
    // Every state is ended, so none is left behind on a failed read.
    for (int i = 0; i < kDigestCount; ++i) {
        if (digests->states[i] != nullptr)
            digests->values[i] = DigestEnd(digests->states[i]);
    }
    return read;
}

// Why this signature does not vouch for the file, in the order Windows
// follows its chain from the signer's key to the file; empty when it does.
std::string Failure(uint32_t number, const SignatureRecord& signature, const FileDigests& digests,
                    const SignerPin& pin)
{
    std::string which = "signature " + std::to_string(number);
    if (signature.fingerprint.empty())
        return "has a signature that cannot be checked: the certificate of " + which + "'s signer is not in the table";
    if (!signature.signatureHolds)
        return "is not vouched for by its signer: " + which
               + "'s signature over its signed attributes does not hold for the certificate it names (the "
                 "attributes were changed after signing, or another key made it)";
    // Pinned before the digest is looked at: a signature whose digest goes
    // unchecked still names a signer, and Windows shows the first one's.
    if (!pin.fingerprint.empty() && signature.fingerprint != pin.fingerprint)
        return "is not signed by the certificate --signer names: " + which + " was made by the certificate SHA-256 "
               + HexText(signature.fingerprint);
    if (signature.algorithm == kDigestUnknown)
        return std::string();
    if (!signature.contentMatches)
        return "was changed after it was signed: the signed content of " + which
               + " (the file's digest) does not match its signed attributes' messageDigest, or they do not hold "
                 "one messageDigest and one contentType of Authenticode's";
    if (signature.digest != digests.values[signature.algorithm])
        return "was changed after it was signed: the " + signature.algorithmName + " digest of " + which
               + " does not match the file";
    return std::string();
}

// Two lines for a signature: the file's digest and the signer, then the chain
// from the signed content to the signer's certificate.
void PrintSignature(FILE* out, uint32_t number, const SignatureRecord& signature, const FileDigests& digests)
{
    fprintf(out, "signature %u", number);
    if (signature.nestedIn != 0)
        fprintf(out, " (nested in %u)", signature.nestedIn);
    fprintf(out, ": %s digest ", signature.algorithmName.c_str());
    const std::vector<uint8_t>* computed =
        signature.algorithm != kDigestUnknown ? &digests.values[signature.algorithm] : nullptr;
    if (computed == nullptr)
        fputs("not checked", out);
    else if (signature.digest == *computed)
        fputs("matches the file", out);
    else
        fprintf(out, "does not match the file: it states %s, the file's is %s", HexText(signature.digest).c_str(),
                HexText(*computed).c_str());
    fprintf(out, "; signer: %s\n", signature.signer.empty() ? "not named" : signature.signer.c_str());
    if (signature.fingerprint.empty()) {
        fprintf(out, "signature %u: the signer's certificate is not in the table\n", number);
        return;
    }
    fprintf(out, "signature %u: signed content %s its messageDigest; signature over the signed attributes %s; "
                 "certificate SHA-256 %s\n",
            number,
            signature.algorithm == kDigestUnknown ? "not checked against"
            : signature.contentMatches            ? "matches"
                                                  : "does not match",
            signature.signatureHolds ? "holds" : "does not hold", HexText(signature.fingerprint).c_str());
}

void PrintUncovered(FILE* out, uint32_t table, const UncoveredBytes& bytes)
{
    std::string where = bytes.offset == kNowhere ? "in the certificate table" : "at " + std::to_string(table + bytes.offset);
    fprintf(out, "not covered by any signature: %u bytes %s, %s\n", bytes.size, where.c_str(), bytes.what.c_str());
}

// The signatures in the table, and the CheckSum field the digest leaves out;
// otherwise why they cannot be read.
std::string ReadTable(LauncherFile* launcher, uint32_t table, uint32_t tableSize, uint32_t entryField,
                      uint32_t* checksumField, SignatureTable* signatures)
{
    if (tableSize > launcher->size || table > launcher->size - tableSize)
        return "the certificate table reaches past the end of the file";
    if (tableSize > kMaxCertificateTableSize)
        return "the certificate table is larger than " + std::to_string(kMaxCertificateTableSize) + " bytes";
    if (!ImageChecksumField(launcher->headers.data(), launcher->headers.size(), checksumField)
        || table < entryField + kEntrySize)
        return "the certificate table lies inside the headers";
    std::vector<uint8_t> bytes(tableSize);
    if (!SeekTo(launcher->file, table) || !ReadExactly(launcher->file, bytes.data(), tableSize))
        return "the certificate table cannot be read: " + FileFailure(launcher->file);
    std::string reason = ReadSignatures(bytes.data(), tableSize, signatures);
    if (!reason.empty())
        return "the certificate table is not Authenticode as signing tools write it: " + reason;
    return std::string();
}

// The first reason the signatures refuse the launcher, after all are printed.
std::string Verdict(const LauncherFile& launcher, uint32_t table, uint32_t tableSize, const SignatureTable& found,
                    const FileDigests& digests, const SignerPin& pin)
{
    uint32_t checked = 0;
    for (uint32_t i = 0; i < found.signatures.size(); ++i) {
        std::string failure = Failure(i + 1, found.signatures[i], digests, pin);
        if (!failure.empty())
            return failure;
        checked += found.signatures[i].algorithm != kDigestUnknown;
    }
    if (table + tableSize < launcher.size)
        return "was changed after it was signed: " + std::to_string(launcher.size - table - tableSize)
               + " bytes follow its certificate table, outside every signature";
    for (const UncoveredBytes& bytes : found.uncovered) {
        if (bytes.trailing)
            return "was changed after it was signed: " + std::to_string(bytes.size)
                   + " bytes in its certificate table follow a signature's PKCS#7, outside every signature";
    }
    // A signed launcher whose change would go unseen is no more vouched for
    // than a changed one.
    if (checked == 0)
        return "is signed, but no signature has a digest sfxpack checks (SHA-1, SHA-256, SHA-384, SHA-512), so a "
               "change after signing would go unseen: osslsigncode verify or signtool verify /pa checks it";
    return std::string();
}

}  // namespace

std::string ReadSignerPin(const char* argument, SignerPin* pin)
{
    if (ParseFingerprint(argument, &pin->fingerprint))
        return std::string();
    std::vector<uint8_t> file, certificate;
    std::string error;
    if (!ReadWholeFile(argument, kMaxCertificateFileSize, &file, &error))
        return "cannot read CERT " + std::string(argument) + ": " + error;
    std::string problem = CertificateFromFile(file, &certificate);
    if (!problem.empty())
        return "CERT " + std::string(argument) + " is not a certificate (PEM or DER) nor a SHA-256 in hex: " + problem;
    pin->fingerprint = Sha256Of(certificate.data(), certificate.size());
    // An empty pin would pin nothing.
    if (pin->fingerprint.size() != kFingerprintSize)
        return "cannot take the SHA-256 of CERT " + std::string(argument);
    return std::string();
}

std::string Sha256Hex(const uint8_t* data, size_t size)
{
    return HexText(Sha256Of(data, size));
}

std::string CheckSignatures(LauncherFile* launcher, uint32_t table, uint32_t tableSize, const SignerPin& pin, FILE* out)
{
    SignatureTable found;
    // The headers hold the entry: the table was found through it.
    uint32_t checksumField = 0, entryField = 0;
    CertificateEntry(launcher->headers.data(), static_cast<uint32_t>(launcher->headers.size()), &entryField);
    std::string problem = ReadTable(launcher, table, tableSize, entryField, &checksumField, &found);
    FileDigests digests = {};
    for (const SignatureRecord& signature : found.signatures) {
        if (problem.empty() && signature.algorithm != kDigestUnknown && digests.states[signature.algorithm] == nullptr)
            digests.states[signature.algorithm] = DigestBegin(signature.algorithm);
    }
    if (problem.empty() && !DigestFile(launcher->file, checksumField, entryField, table, &digests))
        problem = "the file cannot be read: " + FileFailure(launcher->file);
    if (!problem.empty()) {
        fprintf(out, "signatures: unknown, %s\n", problem.c_str());
        return "has signatures that cannot be checked: " + problem;
    }

    fprintf(out, "signatures: %u\n", static_cast<uint32_t>(found.signatures.size()));
    for (uint32_t i = 0; i < found.signatures.size(); ++i)
        PrintSignature(out, i + 1, found.signatures[i], digests);
    for (const UncoveredBytes& bytes : found.uncovered)
        PrintUncovered(out, table, bytes);
    if (pin.fingerprint.empty())
        fputs("signer: not pinned, any certificate's signature holds here (inspect --signer CERT pins it); the "
              "certificate chain and the timestamps are osslsigncode verify's or signtool verify /pa's to check\n",
              out);
    else
        fprintf(out, "signer: pinned to the certificate SHA-256 %s; the certificate chain and the timestamps are "
                     "osslsigncode verify's or signtool verify /pa's to check\n",
                HexText(pin.fingerprint).c_str());
    return Verdict(*launcher, table, tableSize, found, digests, pin);
}
