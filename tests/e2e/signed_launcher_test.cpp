// Launchers a publisher packed and then signed, run as a user runs them: the
// package file holds the package, not the signing tool's padding and certificate.
#include <gtest/gtest.h>

#include "harness.h"

// After windows.h, which harness.h brings.
#include <shellapi.h>

// Made before the tests by make_signed_launchers.sh: NAME_unsigned.exe as
// packed, NAME.exe as signed, NAME.upd the package it carries.
extern const char kSignedLaunchersDir[];

namespace {

std::string Made(const std::string& file)
{
    return std::string(kSignedLaunchersDir) + "/" + file;
}

// A value of the file's version record as Explorer's Details read it: from
// the Ukrainian Unicode string table, or, for a query that starts with a
// backslash, the file version or the translation.
std::wstring VersionValue(const std::string& file, const std::wstring& name)
{
    std::wstring path = FromUtf8(file);
    DWORD ignored = 0;
    std::vector<char> record(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    void* value = nullptr;
    UINT length = 0;
    std::wstring query = name[0] == L'\\' ? name : L"\\StringFileInfo\\042204B0\\" + name;
    if (record.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(record.size()), record.data())
        || !VerQueryValueW(record.data(), query.c_str(), &value, &length))
        return L"(none)";
    if (name[0] != L'\\')
        return static_cast<const wchar_t*>(value);
    if (name != L"\\")
        return std::to_wstring(*static_cast<const DWORD*>(value));
    const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    return std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionMS))
           + L"." + std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionLS));
}

class SignedLauncher : public ::testing::Test {
protected:
    // Checks through file sizes and the image's own security directory that
    // signing put padding zero bytes between the packed launcher and its
    // certificate table, and returns that table's bytes.
    std::string SignedWithPadding(const std::string& name, size_t padding)
    {
        std::string launcher = ReadBytes(Made(name + ".exe"));
        std::string packed = ReadBytes(Made(name + "_unsigned.exe"));
        package = ReadBytes(Made(name + ".upd"));
        EXPECT_FALSE(launcher.empty() || package.empty()) << name << " was not made; see wine.e2e.signed_launchers";
        EXPECT_EQ(packed.size(), StubBytes().size() + package.size());
        // Nothing more to read from a launcher that was not made or not signed.
        if (packed.empty() || launcher.size() <= packed.size())
            return "";
        const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(launcher.data());
        const char* headers = launcher.data() + dos->e_lfanew;
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(headers);
        // A 64-bit build's stub is PE32+, whose data directories lie further on.
        const IMAGE_DATA_DIRECTORY* directories =
            nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC
                ? reinterpret_cast<const IMAGE_NT_HEADERS64*>(headers)->OptionalHeader.DataDirectory
                : nt->OptionalHeader.DataDirectory;
        const IMAGE_DATA_DIRECTORY& security = directories[IMAGE_DIRECTORY_ENTRY_SECURITY];
        EXPECT_EQ(security.VirtualAddress, packed.size() + padding);
        EXPECT_EQ(launcher.size(), packed.size() + padding + security.Size);
        EXPECT_EQ(launcher.substr(packed.size(), padding), std::string(padding, '\0'));
        return launcher.substr(packed.size() + padding);
    }

    // Runs the signed launcher with one installation registered and returns the
    // package file it wrote, once the updater has been started on it. Each
    // launcher runs in a folder of its own, with its own temporary directory.
    std::string PackageFileOf(const std::string& name)
    {
        std::string dir = root.Join(name);
        std::string temp = dir + "\\Temp";
        MakeDir(dir);
        MakeDir(temp);
        std::string launcher = dir + "\\update_10_01_190.exe";
        EXPECT_TRUE(CopyFileA(Made(name + ".exe").c_str(), launcher.c_str(), FALSE));
        std::string app = MakeInstallation(dir + "\\App", "10.01.188");
        registry.Add("VOLTANIS", app);
        LauncherRun run(launcher, temp);

        EXPECT_EQ(run.Wait(), 0u);
        std::vector<std::string> log = UpdaterLog(app);
        EXPECT_FALSE(log.empty()) << "the updater was not started";
        std::string workDir = temp + "\\UPD00000000";
        if (!log.empty())
            EXPECT_EQ(FromUtf8(log[0]), ExpectedCommandLine(app, workDir));
        return ReadBytes(workDir + "\\update_10_01_190.upd");
    }

    InstallationsKey registry;
    TempDir root;
    std::string package;
};

TEST_F(SignedLauncher, PackageThatNeedsNoPaddingIsWrittenExactly)
{
    SignedWithPadding("padding0", 0);
    std::string written = PackageFileOf("padding0");
    EXPECT_EQ(written.size(), package.size());
    EXPECT_TRUE(written == package);
}

TEST_F(SignedLauncher, PackageThatNeedsSevenBytesOfPaddingIsWrittenExactly)
{
    SignedWithPadding("padding7", 7);
    std::string written = PackageFileOf("padding7");
    EXPECT_EQ(written.size(), package.size());
    EXPECT_TRUE(written == package);
}

// The paddings between, and a second signature nested in the first, which
// grows the certificate table where the first signature put it.
TEST_F(SignedLauncher, EveryOtherPaddingAndANestedSignatureWriteExactlyThePackage)
{
    for (size_t padding = 1; padding <= 6; ++padding) {
        std::string name = "padding" + std::to_string(padding);
        SignedWithPadding(name, padding);
        std::string written = PackageFileOf(name);
        EXPECT_EQ(written.size(), package.size()) << name;
        EXPECT_TRUE(written == package) << name;
    }
    std::string firstTable = SignedWithPadding("padding3", 3);
    std::string nestedTable = SignedWithPadding("nested", 3);
    EXPECT_GT(nestedTable.size(), firstTable.size()) << "nested.exe holds no second signature";
    std::string written = PackageFileOf("nested");
    EXPECT_EQ(written.size(), package.size());
    EXPECT_TRUE(written == package);
}

// Without a recorded length the launcher keeps the unsigned rule, everything
// after its image, so padding and certificate table follow the package in the
// package file. Kept on purpose for launchers not made by sfxpack; a change
// to it must show here.
TEST_F(SignedLauncher, WithoutARecordedLengthPaddingAndCertificateFollowThePackage)
{
    std::string certificate = SignedWithPadding("unrecorded", 7);
    std::string written = PackageFileOf("unrecorded");
    EXPECT_EQ(written.size(), package.size() + 7 + certificate.size());
    EXPECT_TRUE(written == package + std::string(7, '\0') + certificate);
}

// Packed with the publisher's icon and strings by the Windows sfxpack, from
// its wide command line: the system reads them from the signed launcher and
// from the 32-bit one, and the signed launcher writes exactly its package.
TEST_F(SignedLauncher, BrandedLauncherShowsItsStringsAndIconAndWritesThePackage)
{
    std::string written = PackageFileOf("branded");
    EXPECT_TRUE(written == ReadBytes(Made("branded.upd")));
    std::vector<std::string> launchers = {Made("branded.exe")};
    if (kShippedStubPath[0] != '\0')
        launchers.push_back(Made("branded32_unsigned.exe"));
    for (const std::string& launcher : launchers) {
        EXPECT_EQ(VersionValue(launcher, L"FileDescription"), L"Оновлення Волтаніс 10.01.190") << launcher;
        EXPECT_EQ(VersionValue(launcher, L"ProductName"), L"Волтаніс ヴォルタニス") << launcher;
        EXPECT_EQ(VersionValue(launcher, L"CompanyName"), L"Корвелла") << launcher;
        EXPECT_EQ(VersionValue(launcher, L"LegalCopyright"), L"© Корвелла") << launcher;
        EXPECT_EQ(VersionValue(launcher, L"\\"), L"10.1.190.0") << launcher;
        EXPECT_EQ(VersionValue(launcher, L"\\VarFileInfo\\Translation"), std::to_wstring(0x04B00422)) << launcher;
        std::wstring path = FromUtf8(launcher);
        HICON large = nullptr;
        EXPECT_EQ(ExtractIconExW(path.c_str(), -1, nullptr, nullptr, 0), 1u) << "icon groups in " << launcher;
        EXPECT_EQ(ExtractIconExW(path.c_str(), 0, &large, nullptr, 1), 1u) << launcher;
        EXPECT_NE(large, nullptr);
        DestroyIcon(large);
    }
}

}  // namespace
