#include "commands/config.h"

#include "sfxpack_harness.h"

namespace {

TEST(Config, RoundTripIsByteExactWithTheLaunchersKeyStream)
{
    std::string dir = TestFolder();
    // A byte-order mark, a NUL and a length that is no multiple of the key stream's 8.
    std::string plain = std::string("\xEF\xBB\xBF<items><MODE>NET</MODE>\0<VERSION>10.01.188</VERSION></items>\r\n", 66);
    WriteFile(dir + "global.xml", plain);
    ToolRun encode = Sfxpack({"config", "encode", "--key", "a1b2C3D4", dir + "global.xml", dir + "scrambled.xml"});
    ASSERT_EQ(encode.status, 0) << encode.err;
    EXPECT_EQ(encode.out, "encoded 66 bytes with key A1B2C3D4\n");
    std::string scrambled = ReadFile(dir + "scrambled.xml");
    EXPECT_EQ(scrambled.substr(0, 8), std::string("\x01\xFF\x02\xFE\xA1\xB2\xC3\xD4", 8));
    ToolRun decode = Sfxpack({"config", "decode", dir + "scrambled.xml", dir + "plain.xml"});
    ASSERT_EQ(decode.status, 0) << decode.err;
    EXPECT_EQ(ReadFile(dir + "plain.xml"), plain);
    EXPECT_EQ(decode.out, "decoded 66 bytes with key A1B2C3D4\n");

    // The launcher's key stream for K = 0x12345678, worked out by hand: byte i
    // takes byte (i mod 4) of K rotated left by 4*i bits.
    WriteFile(dir + "zeros", std::string(10, '\0'));
    ASSERT_EQ(Sfxpack({"config", "encode", "--key", "12345678", dir + "zeros", dir + "stream"}).status, 0);
    EXPECT_EQ(ReadFile(dir + "stream"),
              std::string("\x01\xFF\x02\xFE\x12\x34\x56\x78\x12\x45\x78\x23\x56\x81\x34\x67\x12\x45", 18));
}

TEST(Config, RefusesFilesNotInTheExpectedForm)
{
    std::string dir = TestFolder();
    WriteFile(dir + "plain.xml", "<items/>");
    WriteFile(dir + "eight", std::string("\x01\xFF\x02\xFE\x12\x34\x56\x78", 8));
    WriteFile(dir + "empty", "");
    WriteFile(dir + "scrambled", std::string("\x01\xFF\x02\xFE\x12\x34\x56\x78x", 9));
    struct Case {
        std::vector<std::string> args;
        const char* reason;
    } cases[] = {
        {{"config", "decode", dir + "plain.xml", dir + "out"}, "is not scrambled"},
        // Eight bytes with the signature are plain text to the launcher.
        {{"config", "decode", dir + "eight", dir + "out"}, "is not scrambled"},
        {{"config", "decode", dir + "missing", dir + "out"}, "cannot read INPUT"},
        {{"config", "encode", "--key", "12345678", dir + "empty", dir + "out"}, "is empty"},
        {{"config", "encode", "--key", "12345678", dir + "scrambled", dir + "out"}, "is already scrambled"},
    };
    for (const Case& c : cases) {
        ToolRun run = Sfxpack(c.args);
        EXPECT_EQ(run.status, 1) << c.reason;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_FALSE(Exists(dir + "out"));
    }
}

TEST(Config, KeyIsExactlyEightHexDigits)
{
    uint8_t key[4] = {};
    ASSERT_TRUE(ParseKey("00fFa9B1", key));
    EXPECT_EQ(key[0], 0x00);
    EXPECT_EQ(key[1], 0xFF);
    EXPECT_EQ(key[2], 0xA9);
    EXPECT_EQ(key[3], 0xB1);
    for (const char* bad : {"", "1234567", "123456789", "1234567G", "0x123456", " 1234567"})
        EXPECT_FALSE(ParseKey(bad, key)) << bad;

    std::string dir = TestFolder();
    WriteFile(dir + "in", "x");
    EXPECT_EQ(Sfxpack({"config", "encode", "--key", "1234567", dir + "in", dir + "out"}).status, 2);
    EXPECT_EQ(Sfxpack({"config", "encode", dir + "in", dir + "out"}).status, 2);
    EXPECT_EQ(Sfxpack({"config", "encode", dir + "in", dir + "out", "--key"}).status, 2);
    EXPECT_EQ(Sfxpack({"config", "encode", dir + "in", dir + "out", "--key", "12345678"}).status, 0);
}

}  // namespace
