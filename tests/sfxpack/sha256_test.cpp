#include "sha256.h"

#include "sfxpack_harness.h"

namespace {

// The lengths where the padding moves into a second block are where a
// digest goes wrong; sha256sum is the reference.
TEST(Sha256, AgreesWithSha256sumOnEitherSideOfThePaddingBoundary)
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
    }
}

}  // namespace
