// Paths the code page cannot spell, with the real launcher: the short forms
// open the same folders, a folder or file at the look-alike spelling is never
// read, written or started, and the chooser shows the names the user knows.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>
#include <cstdlib>

#include "harness.h"
#include "package_builder.h"

namespace {

// Wine takes a process's code page from the locale it starts in, so the rows
// for another code page run in a test session of their own, which says so here.
UINT SessionCodePage()
{
    const char* codePage = std::getenv("SFX_SESSION_CODE_PAGE");
    return codePage != nullptr ? static_cast<UINT>(std::atoi(codePage)) : 1251;
}

struct Case {
    const char* what;
    UINT codePage;
    const wchar_t* temp;
    const wchar_t* launcherDir;
    const wchar_t* launcherName;
    std::vector<const wchar_t*> installations;  // two or more bring the chooser
};

bool IsAscii(const std::wstring& text)
{
    return std::all_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x80; });
}

// What the code page's best fit makes of text: 1251 turns Ł into L and ó into o.
std::wstring LookAlike(const std::wstring& text)
{
    char ansi[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
    return WidePath(ansi);
}

// The form the launcher must hand on: the path itself where it is plain ASCII
// (every row spells its other paths in letters its code page lacks).
std::wstring Expected(const std::wstring& path)
{
    return IsAscii(path) ? path : ShortPath(path);
}

class CodePages : public ::testing::TestWithParam<Case> {
protected:
    InstallationsKey registry;
};

TEST_P(CodePages, ShortFormsOpenTheRightFoldersAndLookAlikesStayUntouched)
{
    const Case& c = GetParam();
    ASSERT_EQ(GetACP(), SessionCodePage()) << "the session's locale must give its code page";
    if (c.codePage != SessionCodePage())
        GTEST_SKIP() << "runs in the test session with code page " << c.codePage;
    TempDir tempRoot;
    std::wstring root = WidePath(tempRoot.Path());
    std::string package = PackageBuilder().Header("10.01.188", "10.01.190", 2).Tail().Bytes() + "real package";
    std::string decoyPackage = PackageBuilder().Header("10.01.188", "10.01.190", 2).Tail().Bytes() + "decoy";

    // Each path beside its look-alike, where the code page's best fit gives one:
    // the folder, launcher or installation the old spelling would have used.
    std::vector<std::wstring> decoys;
    auto lookAlike = [&](const std::wstring& path) {
        std::wstring decoy = LookAlike(path);
        bool made = decoy != path && decoy.find(L'?') == std::wstring::npos;
        if (made)
            decoys.push_back(decoy);
        return made ? decoy : L"";
    };
    std::wstring temp = root + L"\\" + c.temp;
    MakeDir(temp);
    MakeDir(lookAlike(temp));
    std::wstring launcherDir = root + L"\\" + c.launcherDir;
    MakeDir(launcherDir);
    MakeDir(lookAlike(launcherDir));
    std::wstring launcher = launcherDir + L"\\" + c.launcherName;
    WriteBytes(launcher, StubBytes() + package);
    std::wstring decoyLauncher = lookAlike(launcher);
    if (!decoyLauncher.empty())
        WriteBytes(decoyLauncher, StubBytes() + decoyPackage);
    std::vector<std::wstring> installations;
    for (size_t i = 0; i < c.installations.size(); ++i) {
        installations.push_back(root + L"\\" + c.installations[i]);
        MakeInstallation(installations.back(), "10.01.18" + std::to_string(8 + i));
        registry.Add("VOLTANIS" + std::to_string(i), installations.back());
        std::wstring decoy = lookAlike(installations.back());
        if (!decoy.empty())
            MakeInstallation(decoy, "10.01.188");
    }
    ASSERT_FALSE(decoys.empty() && c.codePage == 1251) << c.what << ": a look-alike to guard against";

    LauncherRun run(launcher, temp);
    if (installations.size() > 1) {
        HWND chooser = run.WaitForChooser();
        ASSERT_NE(chooser, nullptr) << c.what;
        std::vector<std::wstring> items = ChooserItems(chooser);
        ASSERT_EQ(items.size(), installations.size()) << c.what;
        for (size_t i = 0; i < installations.size(); ++i)
            EXPECT_EQ(items[i], L"10.01.18" + std::to_wstring(8 + i) + L" - " + installations[i]) << c.what;
        SelectItem(chooser, 0);
        PressButton(chooser, IDOK);
    }
    EXPECT_EQ(run.Wait(), 0u) << c.what;

    std::vector<std::string> log = UpdaterLog(installations[0]);
    ASSERT_EQ(log.size(), 2u) << c.what << ": the updater was not started";
    std::wstring install = Expected(installations[0]);
    std::wstring workDir = Expected(temp) + L"\\UPD00000000";
    EXPECT_EQ(FromUtf8(log[0]), L"\"" + install + L"\\update.exe\" /UL \"" + install + L"\" \"" + workDir + L"\"")
        << c.what;
    std::wstring name = IsAscii(c.launcherName) ? c.launcherName : PathFindFileNameW(ShortPath(launcher).c_str());
    EXPECT_TRUE(ReadBytes(workDir + L"\\" + name.substr(0, name.rfind(L'.')) + L".upd") == package) << c.what;

    for (const std::wstring& decoy : decoys) {
        EXPECT_FALSE(Exists(decoy + L"\\UPD00000000")) << c.what << ": a look-alike TEMP was written";
        EXPECT_FALSE(Exists(decoy + L"\\updater_log.txt")) << c.what << ": a look-alike updater was started";
    }
    if (!decoyLauncher.empty())
        EXPECT_TRUE(ReadBytes(decoyLauncher) == StubBytes() + decoyPackage) << c.what;
}

// Polish letters, which 1251 best-fits to Latin ones.
INSTANTIATE_TEST_SUITE_P(
    Ukrainian, CodePages,
    ::testing::Values(Case{"TEMP", 1251, L"Łucja Żółć", L"bin", L"update_10_01_190.exe", {L"App"}},
                      Case{"launcher folder", 1251, L"Temp", L"Łódź", L"update_10_01_190.exe", {L"App"}},
                      Case{"launcher name", 1251, L"Temp", L"bin", L"aktualizacja_żółw.exe", {L"App"}},
                      Case{"installation", 1251, L"Temp", L"bin", L"update_10_01_190.exe", {L"Łucja Żółć"}}));

// Cyrillic names on a Western Windows, where they would read as question
// marks. Wine cannot start a program whose own path 1252 cannot spell.
INSTANTIATE_TEST_SUITE_P(
    Western, CodePages,
    ::testing::Values(Case{"TEMP and installation", 1252, L"Тимчасові", L"bin", L"update.exe", {L"Каса"}},
                      Case{"chooser", 1252, L"Temp", L"bin", L"update.exe", {L"Каса Південь", L"Каса Північ"}}));

}  // namespace
