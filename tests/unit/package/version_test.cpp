#include "package/version.h"

#include <gtest/gtest.h>

namespace {

struct Parsed {
    int result;
    VersionTriple v;
};

Parsed Parse(const char* text)
{
    Parsed p = {-1, {-7, -7, -7}};  // -7 marks a field the parser left alone
    p.result = ParseVersion(text, &p.v.major, &p.v.minor, &p.v.build);
    return p;
}

void ExpectVersion(const char* text, int result, int32_t major, int32_t minor, int32_t build)
{
    Parsed p = Parse(text);
    EXPECT_EQ(p.result, result) << text;
    EXPECT_EQ(p.v.major, major) << text;
    EXPECT_EQ(p.v.minor, minor) << text;
    EXPECT_EQ(p.v.build, build) << text;
}

TEST(ParseVersion, ReadsThreeComponentsWithoutLeadingZeros)
{
    ExpectVersion("10.01.190", 1, 10, 1, 190);
    ExpectVersion("10.01.188", 1, 10, 1, 188);
    ExpectVersion("0.0.0", 1, 0, 0, 0);
}

TEST(ParseVersion, WritesFieldsAsFoundEvenWhenTheCountIsWrong)
{
    ExpectVersion("10.01", 0, 10, 1, -7);
    ExpectVersion("1.2.3.4", 0, 1, 2, 3);
    ExpectVersion("7", 0, 7, -7, -7);
}

TEST(ParseVersion, AcceptsOneTrailingDotOnly)
{
    ExpectVersion("7.8.9.", 1, 7, 8, 9);
    ExpectVersion("1.2.3..4", 1, 1, 2, 3);
    ExpectVersion("1.2..3", 0, 1, 2, -7);
}

TEST(ParseVersion, EmptyComponentEndsTheScan)
{
    ExpectVersion("", 0, -7, -7, -7);
    ExpectVersion(".1.2", 0, -7, -7, -7);
    ExpectVersion("1..2", 0, 1, -7, -7);
    ExpectVersion("...", 0, -7, -7, -7);
}

TEST(ParseVersion, SkipsNonDigitsAndJoinsTheDigitsAroundThem)
{
    ExpectVersion("1a2.3.4", 1, 12, 3, 4);
    ExpectVersion("x.1.2", 1, 0, 1, 2);
    ExpectVersion(" 10 . 01 .190\r\n", 1, 10, 1, 190);
    ExpectVersion("v10.01-beta.190", 1, 10, 1, 190);
    // Only ASCII digits count: bytes above 0x7F (Cyrillic, full-width digits in 1251) are skipped.
    ExpectVersion("1\xB9.2\xD0.3", 1, 1, 2, 3);
}

TEST(ParseVersion, HugeComponentsWrapWithoutUndefinedBehaviour)
{
    // 4294967296 is 2^32: the wrapped value is 0.
    ExpectVersion("4294967296.4294967297.1", 1, 0, 1, 1);
    ExpectVersion("2147483648.0.0", 1, INT32_MIN, 0, 0);
    Parsed p = Parse("99999999999999999999999999999999999999.1.1");
    EXPECT_EQ(p.result, 1);
}

TEST(VersionKey, WeighsMajorTenThousandAndMinorOneThousand)
{
    EXPECT_EQ(VersionKey({10, 1, 188}), 101188);
    EXPECT_EQ(VersionKey({10, 10, 0}), VersionKey({11, 0, 0}));
    EXPECT_EQ(VersionKey({11, 0, 0}), 110000);
    EXPECT_EQ(VersionKey({0, 0, 999}), 999);
}

TEST(VersionKey, WrapsAt32BitsAndComparesSigned)
{
    // 214749 * 10 000 overflows 2^31: the key turns negative rather than trapping.
    EXPECT_LT(VersionKey({214749, 0, 0}), 0);
    EXPECT_EQ(VersionKey({INT32_MAX, INT32_MAX, INT32_MAX}),
              static_cast<int32_t>((0x7FFFFFFFu * 10u + 0x7FFFFFFFu) * 1000u + 0x7FFFFFFFu));
    EXPECT_EQ(VersionKey({-1, 0, 0}), -10000);
}

TEST(SameVersion, ComparesAllThreeFields)
{
    EXPECT_TRUE(SameVersion({10, 1, 188}, {10, 1, 188}));
    EXPECT_FALSE(SameVersion({10, 1, 188}, {10, 1, 189}));
    EXPECT_FALSE(SameVersion({10, 10, 0}, {11, 0, 0}));
}

}  // namespace
