#include "package/checksum.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

uint32_t Checksum(const Crc32c& crc, const std::string& bytes)
{
    return Crc32cUpdate(&crc, 0, reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
}

// The processor's instruction when there is one, and the table in any case.
std::vector<Crc32c> BothPaths()
{
    Crc32c instruction;
    Crc32cInit(&instruction);
    Crc32c table = instruction;
    table.hardware = 0;
    return {instruction, table};
}

// Bytes that differ in every lane of every block, so a lane joined in the
// wrong order or with the wrong shift changes the result.
std::string Sample(size_t size)
{
    std::string bytes(size, '\0');
    uint32_t state = 0x12345678u;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

TEST(Crc32c, GivesTheKnownValuesOnBothPaths)
{
    std::string ascending;
    for (int i = 0; i < 32; ++i)
        ascending += static_cast<char>(i);
    for (const Crc32c& crc : BothPaths()) {
        SCOPED_TRACE(crc.hardware ? "instruction" : "table");
        EXPECT_EQ(Checksum(crc, ""), 0u);
        EXPECT_EQ(Checksum(crc, "123456789"), 0xE3069283u);
        EXPECT_EQ(Checksum(crc, std::string(32, '\0')), 0x8A9136AAu);
        EXPECT_EQ(Checksum(crc, std::string(32, '\xFF')), 0x62A8AB43u);
        EXPECT_EQ(Checksum(crc, ascending), 0x46DD794Eu);
    }
}

// The launcher checks view by view and the tool chunk by chunk: any split
// must give the checksum of the whole, and both paths must agree across blocks.
TEST(Crc32c, AnySplitOfAMultiBlockInputGivesTheSameValueOnBothPaths)
{
    std::string bytes = Sample(5 * 3 * 4096 + 1234);
    std::vector<Crc32c> paths = BothPaths();
    uint32_t whole = Checksum(paths[1], bytes);
    const uint32_t kPieces[] = {1, 3, 4095, 12289, 7, 24577};
    for (const Crc32c& crc : paths) {
        SCOPED_TRACE(crc.hardware ? "instruction" : "table");
        EXPECT_EQ(Checksum(crc, bytes), whole);
        uint32_t value = 0;
        size_t done = 0;
        for (size_t i = 0; done < bytes.size(); ++i) {
            uint32_t piece = kPieces[i % (sizeof(kPieces) / sizeof(kPieces[0]))];
            if (piece > bytes.size() - done)
                piece = static_cast<uint32_t>(bytes.size() - done);
            value = Crc32cUpdate(&crc, value, reinterpret_cast<const uint8_t*>(bytes.data()) + done, piece);
            done += piece;
        }
        EXPECT_EQ(value, whole);
    }
}

}  // namespace
