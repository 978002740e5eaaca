// The Authenticode digest of a launcher, streamed in bounded chunks, so a
// launcher of up to 4 GiB is read once and never held whole.
#include "signature_check.h"

#include <string.h>

#include <vector>

#include "file_io.h"
#include "image_checksum.h"
#include "package/image_layout.h"
#include "sha1.h"
#include "sha256.h"
#include "signatures.h"
#include "tool_limits.h"

namespace {

const uint32_t kChecksumSize = 4, kEntrySize = 8;

// The digests the signatures ask for, as signing tools take them: every byte
// before the certificate table but the CheckSum field and the table's
// directory entry, the signer's padding before the table included.
struct FileDigests {
    bool wanted[2];  // SHA-1, SHA-256
    BlockHash hashes[2];
    uint8_t sha1[kSha1Size];
    uint8_t sha256[kSha256Size];
};

bool DigestFile(FILE* file, uint32_t checksumField, uint32_t entryField, uint32_t table, FileDigests* digests)
{
    Sha1Begin(&digests->hashes[0]);
    Sha256Begin(&digests->hashes[1]);
    if (!digests->wanted[0] && !digests->wanted[1])
        return true;
    const uint32_t ranges[3][2] = {
        {0, checksumField}, {checksumField + kChecksumSize, entryField}, {entryField + kEntrySize, table}};
    std::vector<uint8_t> chunk(kStreamChunk);
    for (const auto& range : ranges) {
        if (!SeekTo(file, range[0]))
            return false;
        for (uint32_t at = range[0]; at < range[1];) {
            size_t size = range[1] - at < kStreamChunk ? range[1] - at : kStreamChunk;
            if (!ReadExactly(file, chunk.data(), size))
                return false;
            for (int i = 0; i < 2; ++i) {
                if (digests->wanted[i])
                    HashAdd(&digests->hashes[i], chunk.data(), size);
            }
            at += static_cast<uint32_t>(size);
        }
    }
    HashEnd(&digests->hashes[0], digests->sha1);
    HashEnd(&digests->hashes[1], digests->sha256);
    return true;
}

bool Matches(const std::vector<uint8_t>& stated, const uint8_t* computed, size_t size)
{
    return stated.size() == size && memcmp(stated.data(), computed, size) == 0;
}

// One line for a signature; true when its digest matches or cannot be checked.
bool PrintSignature(FILE* out, uint32_t number, const SignatureRecord& signature, const FileDigests& digests)
{
    fprintf(out, "signature %u", number);
    if (signature.nestedIn != 0)
        fprintf(out, " (nested in %u)", signature.nestedIn);
    fprintf(out, ": %s digest ", signature.algorithmName.c_str());
    bool matches = true;
    if (signature.algorithm == kDigestUnchecked) {
        fputs("not checked", out);
    } else {
        const uint8_t* computed = signature.algorithm == kDigestSha1 ? digests.sha1 : digests.sha256;
        size_t size = signature.algorithm == kDigestSha1 ? kSha1Size : kSha256Size;
        matches = Matches(signature.digest, computed, size);
        if (matches)
            fputs("matches the file", out);
        else
            fprintf(out, "does not match the file: it states %s, the file's is %s",
                    HexText(signature.digest.data(), signature.digest.size()).c_str(),
                    HexText(computed, size).c_str());
    }
    fprintf(out, "; signer: %s\n", signature.signer.empty() ? "not named" : signature.signer.c_str());
    return matches;
}

// The signatures in the table, and the CheckSum field the digest leaves out;
// otherwise why they cannot be read.
std::string ReadTable(LauncherFile* launcher, uint32_t table, uint32_t tableSize, uint32_t entryField,
                      uint32_t* checksumField, std::vector<SignatureRecord>* signatures)
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
    const char* reason = nullptr;
    if (!ReadSignatures(bytes.data(), tableSize, signatures, &reason))
        return std::string("the certificate table is not PKCS#7 as signing tools write it: ") + reason;
    return std::string();
}

}  // namespace

std::string CheckSignatures(LauncherFile* launcher, uint32_t table, uint32_t tableSize, FILE* out)
{
    std::vector<SignatureRecord> signatures;
    // The headers hold the entry: the table was found through it.
    uint32_t checksumField = 0, entryField = 0;
    CertificateEntry(launcher->headers.data(), static_cast<uint32_t>(launcher->headers.size()), &entryField);
    std::string problem = ReadTable(launcher, table, tableSize, entryField, &checksumField, &signatures);
    FileDigests digests = {};
    for (const SignatureRecord& signature : signatures) {
        digests.wanted[0] |= signature.algorithm == kDigestSha1;
        digests.wanted[1] |= signature.algorithm == kDigestSha256;
    }
    if (problem.empty() && !DigestFile(launcher->file, checksumField, entryField, table, &digests))
        problem = "the file cannot be read: " + FileFailure(launcher->file);
    if (!problem.empty()) {
        fprintf(out, "signatures: unknown, %s\n", problem.c_str());
        return "has signatures that cannot be checked: " + problem;
    }

    fprintf(out, "signatures: %u\n", static_cast<uint32_t>(signatures.size()));
    uint32_t mismatch = 0, checked = 0;
    for (uint32_t i = 0; i < signatures.size(); ++i) {
        if (!PrintSignature(out, i + 1, signatures[i], digests) && mismatch == 0)
            mismatch = i + 1;
        checked += signatures[i].algorithm != kDigestUnchecked;
    }
    if (!signatures.empty())
        fputs("signatures not checked: the certificate chain, the signature over the signed attributes and the "
              "timestamp (osslsigncode verify, signtool verify /pa)\n",
              out);
    if (mismatch != 0)
        return "was changed after it was signed: the " + signatures[mismatch - 1].algorithmName
               + " digest of signature " + std::to_string(mismatch) + " does not match the file";
    if (table + tableSize < launcher->size)
        return "was changed after it was signed: " + std::to_string(launcher->size - table - tableSize)
               + " bytes follow its certificate table, outside every signature";
    // A signed launcher whose change would go unseen is no more vouched for
    // than a changed one.
    if (checked == 0)
        return "is signed, but no signature has a digest sfxpack checks (SHA-256, SHA-1), so a change after signing "
               "would go unseen: osslsigncode verify or signtool verify /pa checks it";
    return std::string();
}
