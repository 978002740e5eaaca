// The installation check against real folders and the system's XML document object.
#include "discovery/install_check.h"

#include <gtest/gtest.h>
#include <ole2.h>
#include <psapi.h>

#include <stdio.h>

#include "discovery/scramble.h"
#include "installations.h"
#include "test_files.h"

namespace {

class InstallCheck : public testing::Test {
protected:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override { CoUninitialize(); }

    // "result net=isNetwork major.minor.build"; what was not written stays -7.
    std::string Read(const std::string& bytes)
    {
        std::string path = root.Join("global.xml");
        WriteBytes(path, bytes);
        int isNetwork = -7;
        VersionTriple v = {-7, -7, -7};
        int result = ReadInstallConfig(path.c_str(), &isNetwork, &v.major, &v.minor, &v.build);
        char shown[80];
        snprintf(shown, sizeof shown, "%d net=%d %d.%d.%d", result, isNetwork, v.major, v.minor, v.build);
        return shown;
    }
    std::string ReadVersion(const std::string& versionElement) { return Read(ConfigXml(versionElement)); }

    // "accepted <path> <version>" or "rejected".
    std::string Check(const std::string& directory)
    {
        InstallationRecord record;
        if (!CheckInstallDir(directory.c_str(), &record))
            return "rejected";
        char version[40];
        snprintf(version, sizeof version, VERSION_DISPLAY_FORMAT, record.version.major, record.version.minor,
                 record.version.build);
        return "accepted " + std::string(record.path) + " " + version;
    }

    TempDir root;
};

TEST_F(InstallCheck, ModeIsNetworkOnlyWhenItsValueIsNetInAnyCase)
{
    EXPECT_EQ(Read(ConfigXml("NET", "10.01.188")), "1 net=1 10.1.188");
    EXPECT_EQ(Read(ConfigXml("net", "10.01.188")), "1 net=1 10.1.188");
    EXPECT_EQ(Read(ConfigXml("nEt", "10.01.188")), "1 net=1 10.1.188");
    EXPECT_EQ(Read(ConfigXml("LOCAL", "10.01.188")), "1 net=0 10.1.188");
    EXPECT_EQ(Read(ConfigXml(" NET", "10.01.188")), "1 net=0 10.1.188");
    EXPECT_EQ(Read(ConfigXml("NETWORK", "10.01.188")), "1 net=0 10.1.188");
    EXPECT_EQ(Read(ConfigXml("<VERSION>10.01.188</VERSION><MODE/>")), "1 net=0 10.1.188");
    EXPECT_EQ(Read(ConfigXml("<VERSION>10.01.188</VERSION>")), "1 net=0 10.1.188");
    EXPECT_EQ(Read(ConfigXml("<VERSION>10.01.188</VERSION><MODE>NET</MODE>")), "1 net=1 10.1.188");
}

TEST_F(InstallCheck, ModeAndVersionCountOnlyAsDirectChildrenOfItems)
{
    EXPECT_EQ(Read(ConfigXml("<db><MODE>NET</MODE><VERSION>1.2.3</VERSION></db><VERSION>10.01.188</VERSION>")),
              "1 net=0 10.1.188");
    EXPECT_EQ(Read(ConfigXml("<db><VERSION>10.01.188</VERSION></db>")), "0 net=0 -7.-7.-7");
    EXPECT_EQ(Read("<config><MODE>NET</MODE><VERSION>10.01.188</VERSION></config>"), "0 net=0 -7.-7.-7");
    EXPECT_EQ(Read(ConfigXml("<VERSION>10.01.188</VERSION><VERSION>10.01.190</VERSION>")), "1 net=0 10.1.188");
}

TEST_F(InstallCheck, ValueIsThatOfTheFirstChildNode)
{
    EXPECT_EQ(ReadVersion("<VERSION><![CDATA[10.01.188]]></VERSION>"), "1 net=0 10.1.188");
    EXPECT_EQ(ReadVersion("<VERSION><!--10.01.188-->9.9.9</VERSION>"), "1 net=0 10.1.188");
    EXPECT_EQ(ReadVersion("<VERSION><?v 10.01.188?></VERSION>"), "1 net=0 10.1.188");
    EXPECT_EQ(ReadVersion("<VERSION><b>1.2.3</b>10.01.188</VERSION>"), "0 net=0 -7.-7.-7");
    EXPECT_EQ(ReadVersion("<VERSION/>"), "0 net=0 -7.-7.-7");
    EXPECT_EQ(Read(ConfigXml("<MODE><!--net--></MODE><VERSION>10.01.188</VERSION>")), "1 net=1 10.1.188");
    EXPECT_EQ(Read(ConfigXml("<MODE><x>NET</x></MODE><VERSION>10.01.188</VERSION>")), "1 net=0 10.1.188");
}

// The document object keeps no white-space-only text by default, so such text
// is never a first child; white space around other text stays in its value.
TEST_F(InstallCheck, WhiteSpaceOnlyTextIsNotAFirstChild)
{
    EXPECT_EQ(ReadVersion("<VERSION>\r\n  <![CDATA[10.01.188]]></VERSION>"), "1 net=0 10.1.188");
    EXPECT_EQ(ReadVersion("<VERSION>\r\n  <b/>10.01.188</VERSION>"), "0 net=0 -7.-7.-7");
    EXPECT_EQ(ReadVersion("<VERSION> \t\r\n</VERSION>"), "0 net=0 -7.-7.-7");
    EXPECT_EQ(ReadVersion("<VERSION> 10.01.188\r\n</VERSION>"), "1 net=0 10.1.188");
    EXPECT_EQ(Read(ConfigXml("<MODE>  <!--NET--></MODE><VERSION>10.01.188</VERSION>")), "1 net=1 10.1.188");
    EXPECT_EQ(Read(ConfigXml("<MODE> NET </MODE><VERSION>10.01.188</VERSION>")), "1 net=0 10.1.188");
}

TEST_F(InstallCheck, VersionNeedsExactlyThreeComponents)
{
    EXPECT_EQ(ReadVersion("<VERSION>7.8.9.</VERSION>"), "1 net=0 7.8.9");
    EXPECT_EQ(ReadVersion("<VERSION>1.2.3.4</VERSION>"), "0 net=0 1.2.3");
    EXPECT_EQ(Read(ConfigXml("NET", "10.01")), "0 net=1 10.1.-7");
    EXPECT_EQ(ReadVersion("<VERSION>.</VERSION>"), "0 net=0 -7.-7.-7");
}

TEST_F(InstallCheck, VersionTextIsReadThroughTheAnsiCodePageOnlyWhereItSpellsItExactly)
{
    EXPECT_EQ(ReadVersion("<VERSION>версія 10.01.188</VERSION>"), "1 net=0 10.1.188");
    EXPECT_EQ(ReadVersion("<VERSION>版本 10.01.188 ✓</VERSION>"), "0 net=0 -7.-7.-7");
    EXPECT_EQ(ReadVersion("<VERSION>１０.０１.１８８</VERSION>"), "0 net=0 -7.-7.-7");
    EXPECT_EQ(ReadVersion("<VERSION>1.2." + std::string(100000, '3') + "</VERSION>").substr(0, 10), "1 net=0 1.");
}

TEST_F(InstallCheck, UnreadableConfigurationsAreRejectedSilently)
{
    EXPECT_EQ(Read(""), "0 net=-7 -7.-7.-7");
    EXPECT_EQ(Read("VERSION=10.01.188"), "0 net=-7 -7.-7.-7");
    EXPECT_EQ(Read("<items><VERSION>10.01.188</VERSION>"), "0 net=-7 -7.-7.-7");
    EXPECT_EQ(Read(std::string("<items><VERSION>10.01.188</VERSION>\0</items>", 44)), "0 net=-7 -7.-7.-7");
    // Text after a NUL is not read at all, so it cannot spoil the document.
    EXPECT_EQ(Read(ConfigXml("NET", "10.01.188") + std::string("\0<<<", 4)), "1 net=1 10.1.188");

    int isNetwork = -7;
    int32_t major = -7, minor = -7, build = -7;
    EXPECT_EQ(ReadInstallConfig(root.Join("absent.xml").c_str(), &isNetwork, &major, &minor, &build), 0);
    EXPECT_EQ(isNetwork, -7);
}

TEST_F(InstallCheck, ScrambledAndMarkedConfigurationsReadLikePlainOnes)
{
    const uint8_t key[4] = {0x5A, 0xC3, 0x11, 0xEE};
    for (std::string body : {ConfigXml("net", "10.01.188"), "\xEF\xBB\xBF" + ConfigXml("net", "10.01.188")}) {
        EXPECT_EQ(Read(body), "1 net=1 10.1.188");
        ApplyKeyStream(reinterpret_cast<uint8_t*>(&body[0]), static_cast<uint32_t>(body.size()), key);
        EXPECT_EQ(Read(std::string("\x01\xFF\x02\xFE", 4) + std::string(reinterpret_cast<const char*>(key), 4) + body),
                  "1 net=1 10.1.188");
    }
}

// The text reaches the parser as UTF-16 already, so a declared encoding
// changes nothing that is read.
TEST_F(InstallCheck, DeclaredEncodingDoesNotChangeWhatIsRead)
{
    const std::string items = "<items><NAME>Каса №1</NAME><MODE>NET</MODE><VERSION>10.01.188</VERSION></items>";
    for (const char* encoding : {"windows-1251", "UTF-8", "UTF-16"})
        EXPECT_EQ(Read("<?xml version=\"1.0\" encoding=\"" + std::string(encoding) + "\"?>" + items),
                  "1 net=1 10.1.188")
            << encoding;
}

SIZE_T MemoryInUse()
{
    PROCESS_MEMORY_COUNTERS counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

// A node left unreleased keeps its whole document alive, and a configuration
// text left unfreed is as large as the file: a few hundred reads of a large
// configuration would hold megabytes.
TEST_F(InstallCheck, RepeatedReadsKeepNoDocumentAlive)
{
    std::string filler;
    for (int i = 0; i < 300; ++i)
        filler += "<ITEM id=\"" + std::to_string(i) + "\">filler text</ITEM>";
    std::string path = root.Join("global.xml");
    for (const std::string& children : {filler + "<MODE>NET</MODE><VERSION>10.01.188</VERSION>", filler}) {
        WriteBytes(path, ConfigXml(children));
        int isNetwork = 0;
        int32_t major = 0, minor = 0, build = 0;
        ReadInstallConfig(path.c_str(), &isNetwork, &major, &minor, &build);
        SIZE_T before = MemoryInUse();
        for (int i = 0; i < 200; ++i)
            ReadInstallConfig(path.c_str(), &isNetwork, &major, &minor, &build);
        EXPECT_LT(MemoryInUse(), before + (2u << 20)) << (children == filler ? "without MODE and VERSION" : "complete");
    }
}

TEST_F(InstallCheck, AcceptsACompleteCopyWithItsDirectoryAndVersion)
{
    std::string plain = CompleteCopy(root.Join("copy"));
    EXPECT_EQ(Check(plain), "accepted " + plain + " 10.01.188");
    std::string cyrillic = CompleteCopy(root.Join(Ansi("Каса Північ")), "10.01.190");
    EXPECT_EQ(Check(cyrillic), "accepted " + cyrillic + " 10.01.190");
    EXPECT_EQ(Check(plain + "\\"), "accepted " + plain + "\\ 10.01.188");
}

TEST_F(InstallCheck, RejectsACopyThatLacksARequiredFile)
{
    EXPECT_EQ(Check(InstallFolder(root.Join("noconfig")).Updater().Path()), "rejected");
    EXPECT_EQ(Check(InstallFolder(root.Join("badconfig")).Config("<items>").Updater().Path()), "rejected");
    EXPECT_EQ(Check(InstallFolder(root.Join("noupdater")).Config(ConfigXml("LOCAL", "10.01.188")).Path()),
              "rejected");
    EXPECT_EQ(Check(root.Join("absent")), "rejected");

    InstallFolder network(root.Join("network"));
    network.Config(ConfigXml("net", "10.01.188")).Updater();
    EXPECT_EQ(Check(network.Path()), "rejected");
    network.Server();
    EXPECT_EQ(Check(network.Path()), "accepted " + network.Path() + " 10.01.188");

    // Existence is by name: a directory called update.exe counts.
    InstallFolder odd(root.Join("odd"));
    MakeDir(odd.Config(ConfigXml("LOCAL", "10.01.188")).Path() + "\\update.exe");
    EXPECT_EQ(Check(odd.Path()), "accepted " + odd.Path() + " 10.01.188");
}

// Long names through the \\?\ form, which the ANSI calls cannot reach.
std::wstring LongName(const std::string& path)
{
    return L"\\\\?\\" + std::wstring(path.begin(), path.end());
}

void CreateLongCopy(const std::string& dir)
{
    CreateDirectoryW(LongName(dir).c_str(), nullptr);
    CreateDirectoryW(LongName(dir + "\\config").c_str(), nullptr);
    const std::string config = ConfigXml("LOCAL", "10.01.188");
    for (const std::string& name : {dir + "\\config\\global.xml", dir + "\\update.exe"}) {
        HANDLE file = CreateFileW(LongName(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
        DWORD written = 0;
        WriteFile(file, config.data(), static_cast<DWORD>(config.size()), &written, nullptr);
        CloseHandle(file);
    }
}

void RemoveLongCopy(const std::string& dir)
{
    DeleteFileW(LongName(dir + "\\config\\global.xml").c_str());
    DeleteFileW(LongName(dir + "\\update.exe").c_str());
    RemoveDirectoryW(LongName(dir + "\\config").c_str());
    RemoveDirectoryW(LongName(dir).c_str());
}

// config\global.xml and KLV.AppServer.exe are the longest names joined (17
// characters): past a directory of 241 characters their paths cannot be held.
TEST_F(InstallCheck, RejectsADirectoryTooLongToNameItsFiles)
{
    ASSERT_LT(root.Path().size(), 200u);
    std::string fits = root.Path() + "\\" + std::string(241 - root.Path().size() - 1, 'f');
    std::string tooLong = root.Path() + "\\" + std::string(242 - root.Path().size() - 1, 'l');
    CreateLongCopy(fits);
    CreateLongCopy(tooLong);
    EXPECT_EQ(Check(fits), "accepted " + fits + " 10.01.188");
    EXPECT_EQ(Check(tooLong), "rejected");
    EXPECT_EQ(Check(tooLong + std::string(400, 'x')), "rejected");
    RemoveLongCopy(fits);
    RemoveLongCopy(tooLong);
}

}  // namespace
