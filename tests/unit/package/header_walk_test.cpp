#include "package/header_walk.h"

#include <gtest/gtest.h>

#include "package_builder.h"

namespace {

struct Memory {
    std::string bytes;
    size_t position = 0;
    uint32_t largestRead = 0;
};

int ReadMemory(void* source, void* buffer, uint32_t size)
{
    Memory* m = static_cast<Memory*>(source);
    if (size > m->largestRead)
        m->largestRead = size;
    if (size > m->bytes.size() - m->position)
        return 0;
    std::copy(m->bytes.begin() + m->position, m->bytes.begin() + m->position + size, static_cast<char*>(buffer));
    m->position += size;
    return 1;
}

struct Walked {
    int result;
    PackageHeader header;
    HeaderStop stop;
    uint32_t largestRead;
};

Walked Walk(const std::string& bytes)
{
    Memory m;
    m.bytes = bytes;
    Walked w;
    w.header = {{-7, -7, -7}, {-7, -7, -7}, 99, false};
    w.result = WalkPackageHeaderEx(ReadMemory, &m, &w.header, &w.stop);
    w.largestRead = m.largestRead;
    return w;
}

void ExpectTriple(const VersionTriple& v, int32_t major, int32_t minor, int32_t build)
{
    EXPECT_EQ(v.major, major);
    EXPECT_EQ(v.minor, minor);
    EXPECT_EQ(v.build, build);
}

TEST(HeaderWalk, ReadsTheExampleHeader)
{
    Walked w = Walk(PackageBuilder().Header("10.01.188", "10.01.190", 2).Tail().Bytes());
    EXPECT_EQ(w.result, 1);
    EXPECT_EQ(w.stop, kHeaderComplete);
    ExpectTriple(w.header.source, 10, 1, 188);
    ExpectTriple(w.header.target, 10, 1, 190);
    EXPECT_TRUE(w.header.hasFormatType);
    EXPECT_EQ(w.header.formatType, 2u);
}

TEST(HeaderWalk, MatchesTheDocumentedBytes)
{
    const char bytes[] = "PATCH\x09\0\0\0PATCHHEAD\x0A\0\0\0SRCVERSION\x09\0\0\0" "10.01.188\0"
                         "\x0A\0\0\0DSTVERSION\x09\0\0\0" "10.01.190\0"
                         "\x0A\0\0\0FORMATTYPE\x04\0\0\0\x02\0\0\0";
    std::string header(bytes, sizeof bytes - 1);
    EXPECT_EQ(header, PackageBuilder().Header("10.01.188", "10.01.190", 2).Bytes());
}

// Cutting the header after any byte gives 0 until the source version has been
// parsed and 1 from then on; the format type counts only when read in full.
TEST(HeaderWalk, TruncationAtEveryByteFollowsTheResultRule)
{
    std::string full = PackageBuilder().Header("10.01.188", "10.01.190", 2).Bytes();
    size_t sourceValueEnd = 5 + 4 + 9 + 4 + 10 + 4 + 9;
    for (size_t n = 0; n <= full.size(); ++n) {
        Walked w = Walk(full.substr(0, n));
        EXPECT_EQ(w.result, n < sourceValueEnd ? 0 : 1) << "cut at " << n;
        EXPECT_EQ(w.header.hasFormatType, n == full.size()) << "cut at " << n;
    }
}

TEST(HeaderWalk, HeaderCutAfterSourceTerminatorKeepsDefaultFormat)
{
    Walked w = Walk(PackageBuilder().Magic().Name("PATCHHEAD").Entry("SRCVERSION", "10.01.188").Bytes());
    EXPECT_EQ(w.result, 1);
    EXPECT_EQ(w.stop, kHeaderBadTargetName);
    ExpectTriple(w.header.source, 10, 1, 188);
    ExpectTriple(w.header.target, -7, -7, -7);
    EXPECT_FALSE(w.header.hasFormatType);
}

TEST(HeaderWalk, RejectsVersionsWithOtherThanThreeComponents)
{
    Walked twoInSource = Walk(PackageBuilder().Header("10.01", "10.01.190", 2).Bytes());
    EXPECT_EQ(twoInSource.result, 0);
    EXPECT_EQ(twoInSource.stop, kHeaderBadSourceValue);

    Walked fourInTarget = Walk(PackageBuilder().Header("10.01.188", "10.01.190.1", 2).Bytes());
    EXPECT_EQ(fourInTarget.result, 0);
    EXPECT_EQ(fourInTarget.stop, kHeaderBadTargetValue);
    EXPECT_FALSE(fourInTarget.header.hasFormatType);
}

TEST(HeaderWalk, RejectsDamagedMagicAndFixedNames)
{
    EXPECT_EQ(Walk("").result, 0);
    EXPECT_EQ(Walk(PackageBuilder().Raw("PATCX").Name("PATCHHEAD").Entry("SRCVERSION", "1.2.3").Bytes()).result, 0);
    EXPECT_EQ(Walk(PackageBuilder().Magic().Name("PATCHBODY").Entry("SRCVERSION", "1.2.3").Bytes()).result, 0);
    // The section name's length is compared before its bytes.
    EXPECT_EQ(Walk(PackageBuilder().Magic().U32(10).Raw("PATCHHEAD\0").Entry("SRCVERSION", "1.2.3").Bytes()).result,
              0);
    EXPECT_EQ(Walk(PackageBuilder().Magic().Name("PATCHHEAD").Entry("SRCVERSIOM", "1.2.3").Bytes()).result, 0);
    EXPECT_EQ(Walk(PackageBuilder().Magic().Name("PATCHHEAD").Entry("srcversion", "1.2.3").Bytes()).result, 0);
}

TEST(HeaderWalk, LaterNamesAreComparedUpToTheirFirstZero)
{
    std::string paddedName = std::string("DSTVERSION\0junk", 15);
    Walked w = Walk(PackageBuilder()
                        .Magic()
                        .Name("PATCHHEAD")
                        .Entry("SRCVERSION", "10.01.188")
                        .Entry(paddedName, "10.01.190")
                        .Entry(std::string("FORMATTYPE\0", 11), "")
                        .Bytes());
    EXPECT_EQ(w.result, 1);
    ExpectTriple(w.header.target, 10, 1, 190);
}

TEST(HeaderWalk, DamagedTargetOrFormatEntryStillAcceptsTheHeader)
{
    Walked wrongTargetName = Walk(
        PackageBuilder().Magic().Name("PATCHHEAD").Entry("SRCVERSION", "10.01.188").Entry("DSTVERSIOM", "1.2.3").Bytes());
    EXPECT_EQ(wrongTargetName.result, 1);
    ExpectTriple(wrongTargetName.header.target, -7, -7, -7);

    Walked wrongFormatName = Walk(PackageBuilder()
                                      .Magic()
                                      .Name("PATCHHEAD")
                                      .Entry("SRCVERSION", "10.01.188")
                                      .Entry("DSTVERSION", "10.01.190")
                                      .Name("FORMATTYPX")
                                      .U32(4)
                                      .U32(2)
                                      .Bytes());
    EXPECT_EQ(wrongFormatName.result, 1);
    EXPECT_FALSE(wrongFormatName.header.hasFormatType);
}

TEST(HeaderWalk, FormatValueLengthIsNotExamined)
{
    Walked w = Walk(PackageBuilder()
                        .Magic()
                        .Name("PATCHHEAD")
                        .Entry("SRCVERSION", "10.01.188")
                        .Entry("DSTVERSION", "10.01.190")
                        .Name("FORMATTYPE")
                        .U32(77)
                        .U32(0x01020304)
                        .Bytes());
    EXPECT_EQ(w.result, 1);
    EXPECT_TRUE(w.header.hasFormatType);
    EXPECT_EQ(w.header.formatType, 0x01020304u);
}

TEST(HeaderWalk, RefusesLengthsBeyondTheScratchBufferWithoutReadingThem)
{
    std::string longSource(250, '1');
    Walked tooLong = Walk(PackageBuilder().Magic().Name("PATCHHEAD").Entry("SRCVERSION", longSource).Bytes());
    EXPECT_EQ(tooLong.result, 0);
    EXPECT_LT(tooLong.largestRead, kHeaderScratchSize);

    Walked huge = Walk(PackageBuilder().Magic().Name("PATCHHEAD").Name("SRCVERSION").U32(0xFFFFFFFF).Bytes());
    EXPECT_EQ(huge.result, 0);
    EXPECT_LT(huge.largestRead, kHeaderScratchSize);

    // 249 bytes is the longest value that fits with its terminator.
    std::string longest = "10.01." + std::string(243, '0');
    Walked fits = Walk(PackageBuilder().Header(longest, "10.01.190", 0).Bytes());
    EXPECT_EQ(fits.result, 1);
    ExpectTriple(fits.header.source, 10, 1, 0);

    // A target name too long to read ends the walk with the source's answer.
    Walked longName = Walk(PackageBuilder()
                               .Magic()
                               .Name("PATCHHEAD")
                               .Entry("SRCVERSION", "10.01.188")
                               .Entry(std::string(300, 'D'), "10.01.190")
                               .Bytes());
    EXPECT_EQ(longName.result, 1);
    EXPECT_LT(longName.largestRead, kHeaderScratchSize);
}

}  // namespace
