#include "sha256.h"

#include <algorithm>

#include "sfxpack_harness.h"
#include "sha1.h"

namespace {

// The lengths where the padding moves into a second block are where a
// digest goes wrong; sha256sum and sha1sum are the references.
TEST(Sha256, AgreesWithSha256sumAndSha1sumOnEitherSideOfThePaddingBoundary)
{
    std::string dir = TestFolder();
    for (size_t length : {0, 1, 55, 56, 63, 64, 65, 119, 120, 1000}) {
        std::string bytes;
        for (size_t i = 0; i < length; ++i)
            bytes += static_cast<char>(i * 7 + 3);
        std::string path = dir + std::to_string(length);
        WriteFile(path, bytes);
        EXPECT_EQ(Sha256Hex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), Sha256sumOf(path))
            << length << " bytes";
        // Fed in 7-byte chunks, as a launcher is streamed, so that chunks straddle the blocks.
        BlockHash hash;
        Sha1Begin(&hash);
        for (size_t at = 0; at < length; at += 7)
            HashAdd(&hash, reinterpret_cast<const uint8_t*>(bytes.data()) + at, std::min<size_t>(7, length - at));
        uint8_t digest[kSha1Size];
        HashEnd(&hash, digest);
        EXPECT_EQ(HexText(digest, kSha1Size), Sha256sumOf(path, "sha1sum")) << length << " bytes";
    }
}

}  // namespace
