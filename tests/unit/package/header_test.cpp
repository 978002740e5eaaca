// The package header reader against real files, with the report read off the screen.
#include "package/header.h"

#include <gtest/gtest.h>

#include "launcher/messages.h"
#include "package_builder.h"
#include "test_files.h"
#include "window_driver.h"

namespace {

struct ReadResult {
    int result;
    VersionTriple source;
    VersionTriple target;
    uint32_t formatType;
    std::vector<SeenBox> boxes;
};

ReadResult ReadHeaderFile(const std::string& path)
{
    ReadResult r = {-1, {-7, -7, -7}, {-7, -7, -7}, 0, {}};
    g_formatType = 0;
    BoxWatcher watcher;
    r.result = ReadPackageHeader(path.c_str(), &r.source, &r.target, nullptr);
    r.formatType = g_formatType;
    r.boxes = watcher.Boxes();
    return r;
}

ReadResult ReadHeaderBytes(const std::string& bytes)
{
    TempDir dir;
    std::string path = dir.Join("update_10_01_190.upd");
    WriteBytes(path, bytes);
    return ReadHeaderFile(path);
}

void ExpectBadPackageShownOnce(const ReadResult& r)
{
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].caption, L"Увага!");
    EXPECT_EQ(r.boxes[0].text, L"Помилка визначення версії оновлення!\nФайл оновлення пошкоджено!");
    EXPECT_FALSE(r.boxes[0].hasOwner);
}

TEST(ReadPackageHeader, ReadsAWholePackageAndSetsTheFormatType)
{
    ReadResult r = ReadHeaderBytes(PackageBuilder().Header("10.01.188", "10.01.190", 2).Tail().Bytes());
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.source.major, 10);
    EXPECT_EQ(r.source.minor, 1);
    EXPECT_EQ(r.source.build, 188);
    EXPECT_EQ(r.target.build, 190);
    EXPECT_EQ(r.formatType, 2u);
    EXPECT_TRUE(r.boxes.empty());
}

TEST(ReadPackageHeader, HeaderEndingAfterTheSourceVersionIsAcceptedSilently)
{
    ReadResult r = ReadHeaderBytes(PackageBuilder().Magic().Name("PATCHHEAD").Entry("SRCVERSION", "10.01.188").Bytes());
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.source.build, 188);
    EXPECT_EQ(r.target.build, -7);
    EXPECT_EQ(r.formatType, 0u);
    EXPECT_TRUE(r.boxes.empty());
}

TEST(ReadPackageHeader, DamagedHeadersShowTheBadPackageMessage)
{
    ExpectBadPackageShownOnce(ReadHeaderBytes(""));
    ExpectBadPackageShownOnce(ReadHeaderBytes(PackageBuilder().Header("10.01", "10.01.190", 2).Bytes()));
    ReadResult fourParts = ReadHeaderBytes(PackageBuilder().Header("10.01.188", "10.01.190.1", 2).Bytes());
    ExpectBadPackageShownOnce(fourParts);
    EXPECT_EQ(fourParts.formatType, 0u);
}

TEST(ReadPackageHeader, MissingFileShowsTheBadPackageMessage)
{
    TempDir dir;
    ReadResult r = ReadHeaderFile(dir.Join("absent.upd"));
    EXPECT_EQ(r.result, 0);
    ExpectBadPackageShownOnce(r);
}

TEST(ReadPackageHeader, LeavesTheFileClosed)
{
    TempDir dir;
    std::string path = dir.Join("p.upd");
    WriteBytes(path, PackageBuilder().Header("1.2.3", "1.2.4", 0).Bytes());
    ReadResult r = ReadHeaderFile(path);
    EXPECT_EQ(r.result, 1);
    // Only an unshared open succeeds while no handle to the file is left.
    HANDLE exclusive = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE);
    CloseHandle(exclusive);
}

}  // namespace
