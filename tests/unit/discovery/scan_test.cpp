// The registry scan against real registry keys and installation folders.
#include "discovery/scan.h"

#include <gtest/gtest.h>
#include <ole2.h>

#include <stdio.h>

#include <map>

#include "installations.h"
#include "test_files.h"

namespace {

std::string Entry(const std::string& path, const VersionTriple& v)
{
    char version[40];
    snprintf(version, sizeof version, VERSION_DISPLAY_FORMAT, v.major, v.minor, v.build);
    return path + " " + version;
}

class Scan : public testing::Test {
protected:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override { CoUninitialize(); }

    // The scan's list as "path version" entries.
    std::vector<std::string> Listed()
    {
        InstallationRecord* list = nullptr;
        uint32_t count = 0;
        ScanInstallations(&list, &count);
        std::vector<std::string> entries;
        for (uint32_t i = 0; i < count; ++i)
            entries.push_back(Entry(list[i].path, list[i].version));
        FreeInstallations(&list, &count);
        return entries;
    }

    // The entries expected for the given subkeys, in the registry's own order.
    std::vector<std::string> InRegistryOrder(const std::map<std::string, std::string>& entryOf)
    {
        std::vector<std::string> entries;
        for (const std::string& name : key.EnumeratedNames())
            if (entryOf.count(name))
                entries.push_back(entryOf.at(name));
        return entries;
    }

    // The path PATH gives through ReadInstallPath, or "<dropped>".
    std::string ReadPath(DWORD type, const std::string& bytes)
    {
        key.AddValue("VOLTANIS", type, bytes);
        HKEY subkey = nullptr;
        EXPECT_EQ(RegOpenKeyExA(key.Key(), "VOLTANIS", 0, KEY_READ, &subkey), ERROR_SUCCESS);
        InstallationRecord record;
        int accepted = ReadInstallPath(subkey, &record);
        RegCloseKey(subkey);
        return accepted ? record.path : "<dropped>";
    }

    InstallationsKey key;
    TempDir root;
};

TEST_F(Scan, ListsSubkeysBeginningWithThePrefixInAnyCaseInRegistryOrder)
{
    std::map<std::string, std::string> entryOf;
    // The last two are one name to the code page's best fit, but two keys.
    const char* candidates[] = {"VOLTANIS_Z", "voltanis", "VoLtAnIs 2", "VOLTANIS-a", "VOLTANIS_Łódź", "VOLTANIS_Lodz"};
    for (int i = 0; i < 6; ++i) {
        std::string version = "10.01.18" + std::to_string(i);
        std::string dir = CompleteCopy(root.Join("copy" + std::to_string(i)), version);
        key.Add(candidates[i], dir);
        entryOf[candidates[i]] = dir + " " + version;
    }
    std::string other = CompleteCopy(root.Join("other"));
    for (const char* name : {"XVOLTANIS", "Korvella VOLTANIS", "VOLTANI", "Common"})
        key.Add(name, other);

    std::vector<std::string> expected = InRegistryOrder(entryOf);
    ASSERT_EQ(expected.size(), 6u);
    EXPECT_EQ(Listed(), expected);
}

TEST_F(Scan, DropsCopiesItCannotUseAndGoesOn)
{
    std::string first = CompleteCopy(root.Join("first"));
    std::string last = CompleteCopy(root.Join(Ansi("Каса Північ")), "10.01.190");
    key.Add("VOLTANIS 0", first);
    key.AddWithoutPath("VOLTANIS 1");
    key.Add("VOLTANIS 2", root.Join("absent"));
    key.Add("VOLTANIS 3", InstallFolder(root.Join("notxml")).Config("MODE=NET").Updater().Path());
    key.Add("VOLTANIS 4", InstallFolder(root.Join("empty")).Config("").Updater().Path());
    key.Add("VOLTANIS 5", InstallFolder(root.Join("zero")).Config(std::string("<items>\0", 8)).Updater().Path());
    key.Add("VOLTANIS 6", InstallFolder(root.Join("two")).Config(ConfigXml("LOCAL", "10.01")).Updater().Path());
    key.Add("VOLTANIS 7", InstallFolder(root.Join("net")).Config(ConfigXml("net", "10.01.188")).Updater().Path());
    key.Add("VOLTANIS 8", first + "\\" + std::string(300, 'x'));
    key.Add("VOLTANIS 9", last);

    EXPECT_EQ(Listed(), InRegistryOrder({{"VOLTANIS 0", first + " 10.01.188"}, {"VOLTANIS 9", last + " 10.01.190"}}));
}

TEST_F(Scan, TwoSubkeysNamingOneDirectoryGiveTwoEqualRecords)
{
    std::string dir = CompleteCopy(root.Join("shared"));
    key.Add("VOLTANIS_A", dir);
    key.Add("VOLTANIS_B", dir);
    EXPECT_EQ(Listed(), std::vector<std::string>(2, dir + " 10.01.188"));
}

TEST_F(Scan, ReplacesTheListItIsGivenEvenWhenNothingIsFound)
{
    key.Add("VOLTANIS", CompleteCopy(root.Join("copy")));
    InstallationRecord* list = nullptr;
    uint32_t count = 0;
    ScanInstallations(&list, &count);
    ASSERT_EQ(count, 1u);
    ScanInstallations(&list, &count);
    EXPECT_EQ(count, 1u);

    RegDeleteTreeA(key.Key(), nullptr);
    ScanInstallations(&list, &count);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(count, 0u);
}

// PATH is read as its bytes whatever its type, up to its first zero or its end.
TEST_F(Scan, PathIsReadAsItsBytesUpToTheFirstZero)
{
    std::string dir = CompleteCopy(root.Join("copy"));
    EXPECT_EQ(ReadPath(REG_SZ, dir + '\0'), dir);
    EXPECT_EQ(ReadPath(REG_SZ, dir), dir);
    EXPECT_EQ(ReadPath(REG_EXPAND_SZ, dir + '\0'), dir);
    EXPECT_EQ(ReadPath(REG_MULTI_SZ, dir + '\0' + "C:\\other" + '\0' + '\0'), dir);
    EXPECT_EQ(ReadPath(REG_BINARY, dir), dir);
    EXPECT_EQ(ReadPath(REG_DWORD, "\x01\x02\x03\x04"), "<dropped>");
}

TEST_F(Scan, PathWithoutAZeroEndsAfterItsLastByteEvenWhereLongerTextWasRead)
{
    std::string dir = CompleteCopy(root.Join("copy"));
    key.AddValue("VOLTANIS_1", REG_BINARY, std::string(260, 'x'));
    key.AddValue("VOLTANIS_2", REG_BINARY, dir);
    HKEY full = nullptr, shorter = nullptr;
    RegOpenKeyExA(key.Key(), "VOLTANIS_1", 0, KEY_READ, &full);
    RegOpenKeyExA(key.Key(), "VOLTANIS_2", 0, KEY_READ, &shorter);
    // Back to back, so the second read lands where the first left its bytes.
    InstallationRecord record;
    int fullRead = ReadInstallPath(full, &record);
    int shorterRead = ReadInstallPath(shorter, &record);
    RegCloseKey(full);
    RegCloseKey(shorter);
    EXPECT_EQ(fullRead, 0);
    EXPECT_EQ(shorterRead, 1);
    EXPECT_EQ(std::string(record.path), dir);
}

// The value's room is 260 bytes: a longer value cannot be read, and 260 bytes
// without a zero would be a path of 260 characters, one more than a path holds.
TEST_F(Scan, PathOfMoreThan260BytesOrWithout259CharactersAndAZeroIsDropped)
{
    std::string dir = CompleteCopy(root.Join("copy"));
    std::string padded = dir + '\0' + std::string(260 - dir.size() - 1, 'x');
    EXPECT_EQ(ReadPath(REG_BINARY, padded), dir);
    EXPECT_EQ(ReadPath(REG_BINARY, padded + 'x'), "<dropped>");
    EXPECT_EQ(ReadPath(REG_BINARY, dir + "\\" + std::string(260 - dir.size() - 1, 'x')), "<dropped>");
    EXPECT_EQ(ReadPath(REG_SZ, dir + "\\" + std::string(260 - dir.size() - 1, 'x') + '\0'), "<dropped>");
    EXPECT_EQ(ReadPath(REG_SZ, padded), dir);
}

}  // namespace
