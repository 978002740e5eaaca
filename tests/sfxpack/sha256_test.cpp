#include <algorithm>

#include "sfxpack_harness.h"
#include "signing/crypto.h"
#include "signing/signature_check.h"

namespace {

std::string Hex(const std::vector<uint8_t>& bytes)
{
    std::string text;
    for (uint8_t b : bytes)
        text += "0123456789abcdef"[b >> 4], text += "0123456789abcdef"[b & 0xF];
    return text;
}

// The lengths where the padding moves into a second block are where a
// digest goes wrong; coreutils' sums are the references for the platform's.
TEST(Sha256, AgreesWithSha256sumAndSha1sumOnEitherSideOfThePaddingBoundary)
{
    std::string dir = TestFolder();
    const struct {
        DigestAlgorithm algorithm;
        const char* tool;
    } kDigests[] = {{kDigestSha1, "sha1sum"}, {kDigestSha256, "sha256sum"}, {kDigestSha384, "sha384sum"},
                    {kDigestSha512, "sha512sum"}};
    for (size_t length : {0, 1, 55, 56, 63, 64, 65, 119, 120, 1000}) {
        std::string bytes;
        for (size_t i = 0; i < length; ++i)
            bytes += static_cast<char>(i * 7 + 3);
        std::string path = dir + std::to_string(length);
        WriteFile(path, bytes);
        EXPECT_EQ(Sha256Hex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), Sha256sumOf(path))
            << length << " bytes";
        // Fed in 7-byte chunks, as a launcher is streamed, so that chunks straddle the blocks.
        for (const auto& digest : kDigests) {
            DigestState* state = DigestBegin(digest.algorithm);
            for (size_t at = 0; at < length; at += 7)
                DigestAdd(state, reinterpret_cast<const uint8_t*>(bytes.data()) + at, std::min<size_t>(7, length - at));
            EXPECT_EQ(Hex(DigestEnd(state)), Sha256sumOf(path, digest.tool)) << length << " bytes";
        }
    }
    EXPECT_EQ(DigestBegin(kDigestUnknown), nullptr);
}

}  // namespace
