#include "discovery/scramble.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const std::string& s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::vector<uint8_t> Scrambled(const std::string& body, const uint8_t key[4])
{
    std::vector<uint8_t> file = {0x01, 0xFF, 0x02, 0xFE, key[0], key[1], key[2], key[3]};
    std::vector<uint8_t> scrambled = Bytes(body);
    ApplyKeyStream(scrambled.data(), static_cast<uint32_t>(scrambled.size()), key);
    file.insert(file.end(), scrambled.begin(), scrambled.end());
    return file;
}

std::string TextOf(std::vector<uint8_t> file)
{
    uint32_t start = ConfigTextStart(file.data(), static_cast<uint32_t>(file.size()));
    return std::string(file.begin() + start, file.end());
}

const uint8_t kKey[4] = {0x12, 0x34, 0x56, 0x78};

TEST(KeyStream, FollowsTheRotatedKeyByteByByte)
{
    // K = 0x12345678: byte i uses byte (i mod 4) of K rotated left by 4*i bits.
    std::vector<uint8_t> zeros(10, 0);
    ApplyKeyStream(zeros.data(), 10, kKey);
    const uint8_t expected[10] = {0x12, 0x45, 0x78, 0x23, 0x56, 0x81, 0x34, 0x67, 0x12, 0x45};
    EXPECT_EQ(zeros, std::vector<uint8_t>(expected, expected + 10));
}

TEST(KeyStream, IsItsOwnInverse)
{
    std::vector<uint8_t> body = Bytes("<items><VERSION>10.01.188</VERSION></items>");
    std::vector<uint8_t> copy = body;
    ApplyKeyStream(copy.data(), static_cast<uint32_t>(copy.size()), kKey);
    EXPECT_NE(copy, body);
    ApplyKeyStream(copy.data(), static_cast<uint32_t>(copy.size()), kKey);
    EXPECT_EQ(copy, body);
}

TEST(ConfigText, ScrambledAndPlainFormsGiveTheSameText)
{
    std::string xml = "<items><MODE>NET</MODE></items>";
    EXPECT_EQ(TextOf(Bytes(xml)), xml);
    EXPECT_EQ(TextOf(Scrambled(xml, kKey)), xml);
    EXPECT_EQ(TextOf(Scrambled("\xEF\xBB\xBF" + xml, kKey)), xml);
    EXPECT_EQ(TextOf(Bytes("\xEF\xBB\xBF" + xml)), xml);
}

TEST(ConfigText, NineByteScrambledFileUnscramblesOneByteWithTheFirstKeyByte)
{
    std::vector<uint8_t> file = {0x01, 0xFF, 0x02, 0xFE, 0x12, 0x34, 0x56, 0x78, 0x12 ^ 'A'};
    EXPECT_EQ(TextOf(file), "A");
}

TEST(ConfigText, EightByteFileWithSignatureIsPlain)
{
    std::vector<uint8_t> file = {0x01, 0xFF, 0x02, 0xFE, 'a', 'b', 'c', 'd'};
    EXPECT_EQ(TextOf(file), std::string("\x01\xFF\x02\xFE" "abcd"));
}

TEST(ConfigText, FilesWithoutTextStartAtTheirEnd)
{
    std::vector<uint8_t> empty;
    EXPECT_EQ(ConfigTextStart(empty.data(), 0), 0u);
    std::vector<uint8_t> bomOnly = Scrambled("\xEF\xBB\xBF", kKey);
    EXPECT_EQ(ConfigTextStart(bomOnly.data(), static_cast<uint32_t>(bomOnly.size())), bomOnly.size());
    std::vector<uint8_t> plainBom = Bytes("\xEF\xBB\xBF");
    EXPECT_EQ(ConfigTextStart(plainBom.data(), 3), 3u);
    // Two bytes of a mark are not a mark.
    std::vector<uint8_t> half = Bytes("\xEF\xBB");
    EXPECT_EQ(ConfigTextStart(half.data(), 2), 0u);
}

}  // namespace
