#include "package/checksum.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

uint32_t Checksum(const Crc32c& crc, const std::string& bytes)
{
    return Crc32cUpdate(&crc, 0, reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
}

const char* const kPathNames[] = {"table", "instruction", "folding"};

// Every path this processor has, the fastest first; the table is last.
std::vector<Crc32c> EveryPath()
{
    Crc32c crc;
    Crc32cInit(&crc);
    std::vector<Crc32c> paths;
    for (; crc.path >= kCrc32cTable; --crc.path)
        paths.push_back(crc);
    return paths;
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

TEST(Crc32c, GivesTheKnownValuesOnEveryPath)
{
    std::string ascending;
    for (int i = 0; i < 32; ++i)
        ascending += static_cast<char>(i);
    for (const Crc32c& crc : EveryPath()) {
        SCOPED_TRACE(kPathNames[crc.path]);
        EXPECT_EQ(Checksum(crc, ""), 0u);
        EXPECT_EQ(Checksum(crc, "123456789"), 0xE3069283u);
        EXPECT_EQ(Checksum(crc, std::string(32, '\0')), 0x8A9136AAu);
        EXPECT_EQ(Checksum(crc, std::string(32, '\xFF')), 0x62A8AB43u);
        EXPECT_EQ(Checksum(crc, ascending), 0x46DD794Eu);
    }
}

// The launcher checks view by view and the tool chunk by chunk: any split
// must give the checksum of the whole, and both paths must agree across blocks.
TEST(Crc32c, AnySplitOfAMultiBlockInputGivesTheSameValueOnEveryPath)
{
    std::string bytes = Sample(5 * 3 * 4096 + 1234);
    std::vector<Crc32c> paths = EveryPath();
    uint32_t whole = Checksum(paths.back(), bytes);
    const uint32_t kPieces[] = {1, 3, 4095, 12289, 7, 24577};
    for (const Crc32c& crc : paths) {
        SCOPED_TRACE(kPathNames[crc.path]);
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

// The launcher's pieces start anywhere in its buffer's first bytes and end
// anywhere: random lengths either side of every path's block and step, at
// every alignment, each split at a random point, must match the table.
TEST(Crc32c, RandomLengthsAlignmentsAndSplitsGiveTheTablesValueOnEveryPath)
{
    const uint32_t kAlignments = 16;
    const uint32_t kLongest = 3 * 3 * 4096 + 200;
    std::string bytes = Sample(kLongest + kAlignments);
    const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
    std::vector<Crc32c> paths = EveryPath();
    std::minstd_rand random;
    for (int round = 0; round < 2000; ++round) {
        uint32_t offset = random() % kAlignments;
        // Half the rounds short, where the folding path's step and tail meet.
        uint32_t size = random() % (round % 2 ? 300 : kLongest);
        uint32_t split = random() % (size + 1);
        uint32_t start = random();
        uint32_t expected = Crc32cUpdate(&paths.back(), start, data + offset, size);
        for (const Crc32c& crc : paths) {
            SCOPED_TRACE(testing::Message() << kPathNames[crc.path] << ", " << size << " bytes at " << offset
                                            << ", split at " << split);
            uint32_t value = Crc32cUpdate(&crc, start, data + offset, split);
            ASSERT_EQ(Crc32cUpdate(&crc, value, data + offset + split, size - split), expected);
        }
    }
}

}  // namespace
