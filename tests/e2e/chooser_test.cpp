// Several installations: the user picks one in the chooser, and only a copy
// the package fits is handed to its updater.
#include <gtest/gtest.h>

#include "harness.h"
#include "package_builder.h"

namespace {

const wchar_t kWrongVersion[] = L"Встановлення на цю версію неможливе!";

class Chooser : public ::testing::Test {
protected:
    void SetUp() override { MakeDir(temp); }

    // Installations registered in the given order; each folder is named after its version.
    void Install(const std::vector<std::pair<std::string, std::string>>& copies)
    {
        int n = 0;
        for (const auto& copy : copies) {
            std::string dir = root.Join(copy.first);
            MakeInstallation(dir, copy.second);
            registry.Add("VOLTANIS" + std::to_string(n++), dir);
        }
    }

    std::string Launcher(uint32_t formatType)
    {
        return MakeLauncher(root.Path(), "update_10_01_190.exe",
                            PackageBuilder().Header("10.01.188", "10.01.190", formatType).Tail().Bytes());
    }

    // Picks the item that shows dir, presses OK, and returns the warning box if one came.
    bool PickIsRefused(LauncherRun& run, HWND chooser, const std::string& dir)
    {
        std::vector<std::wstring> items = ChooserItems(chooser);
        int index = -1;
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i].size() > dir.size() && items[i].substr(items[i].size() - dir.size()) == WidePath(dir))
                index = static_cast<int>(i);
        }
        EXPECT_GE(index, 0) << dir;
        SelectItem(chooser, index);
        PressButton(chooser, IDOK);
        // An accepted pick ends the launcher; a refused one brings the warning.
        HWND box = nullptr;
        for (int i = 0; i < 300 && box == nullptr; ++i) {
            box = WaitForDialog(run.Pid(), 50, L"Увага!", chooser);
            if (box == nullptr && run.Wait(0) != STILL_ACTIVE)
                return false;
        }
        EXPECT_NE(box, nullptr) << "neither a warning nor the end of the launcher";
        if (box == nullptr)
            return false;
        for (int i = 0; i < 50 && MessageBoxText(box).empty(); ++i)
            Sleep(20);
        SeenBox seen = ReadAndCloseBox(box);
        EXPECT_EQ(seen.text, kWrongVersion);
        EXPECT_EQ(seen.owner, chooser) << "the warning belongs to the chooser";
        WaitUntilGone(box, 5000);
        return true;
    }

    InstallationsKey registry;
    TempDir root;
    std::string temp = root.Join("Temp");
};

TEST_F(Chooser, ListsVersionAndDirectorySortedWithTheFirstSelected)
{
    Install({{"B", "10.01.188"}, {"A", "10.01.189"}});
    LauncherRun run(Launcher(2), temp);
    HWND chooser = run.WaitForChooser();
    ASSERT_NE(chooser, nullptr);
    std::vector<std::wstring> expected = {L"10.01.188 - " + WidePath(root.Join("B")), L"10.01.189 - " + WidePath(root.Join("A"))};
    EXPECT_EQ(ChooserItems(chooser), expected);
    EXPECT_EQ(SendMessageW(GetDlgItem(chooser, 1001), LB_GETCURSEL, 0, 0), 0);
    PressButton(chooser, IDCANCEL);
    EXPECT_EQ(run.Wait(), 0u);
}

TEST_F(Chooser, RangeFormatAcceptsFromSourceUpToButNotIncludingTarget)
{
    Install({{"v187", "10.01.187"}, {"v188", "10.01.188"}, {"v189", "10.01.189"}, {"v190", "10.01.190"}});
    LauncherRun run(Launcher(2), temp);
    HWND chooser = run.WaitForChooser();
    ASSERT_NE(chooser, nullptr);
    EXPECT_TRUE(PickIsRefused(run, chooser, root.Join("v190")));
    EXPECT_TRUE(PickIsRefused(run, chooser, root.Join("v187")));
    EXPECT_TRUE(IsWindow(chooser)) << "a refused pick leaves the chooser open";
    EXPECT_FALSE(PickIsRefused(run, chooser, root.Join("v189")));
    EXPECT_EQ(run.Wait(), 0u);

    std::string workDir = temp + "\\UPD00000000";
    std::vector<std::string> log = UpdaterLog(root.Join("v189"));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(FromUtf8(log[0]), ExpectedCommandLine(root.Join("v189"), workDir));
    EXPECT_TRUE(UpdaterLog(root.Join("v188"), 300).empty());
}

TEST_F(Chooser, ExactFormatAcceptsOnlyTheSourceVersion)
{
    Install({{"v188", "10.01.188"}, {"v189", "10.01.189"}});
    LauncherRun run(Launcher(0), temp);
    HWND chooser = run.WaitForChooser();
    ASSERT_NE(chooser, nullptr);
    EXPECT_TRUE(PickIsRefused(run, chooser, root.Join("v189")));
    EXPECT_FALSE(PickIsRefused(run, chooser, root.Join("v188")));
    EXPECT_EQ(run.Wait(), 0u);
    EXPECT_EQ(UpdaterLog(root.Join("v188")).size(), 2u);
}

TEST_F(Chooser, WorkDirectoryCannotBeMovedAsideWhileTheUserChooses)
{
    Install({{"v188", "10.01.188"}, {"v189", "10.01.189"}});
    LauncherRun run(Launcher(0), temp);
    HWND chooser = run.WaitForChooser();
    ASSERT_NE(chooser, nullptr);
    std::string workDir = temp + "\\UPD00000000";
    EXPECT_FALSE(MoveFileW(WidePath(workDir).c_str(), WidePath(temp + "\\aside").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(PickIsRefused(run, chooser, root.Join("v188")));
    std::vector<std::string> log = UpdaterLog(root.Join("v188"));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(FromUtf8(log[0]), ExpectedCommandLine(root.Join("v188"), workDir));
    EXPECT_TRUE(ReadBytes(workDir + "\\update_10_01_190.upd")
                == PackageBuilder().Header("10.01.188", "10.01.190", 0).Tail().Bytes());
}

TEST_F(Chooser, CancelAndCloseBoxEndQuietlyAndKeepThePackage)
{
    Install({{"v188", "10.01.188"}, {"v189", "10.01.189"}});
    for (bool closeBox : {false, true}) {
        std::string runTemp = root.Join(closeBox ? "TempClose" : "TempCancel");
        MakeDir(runTemp);
        LauncherRun run(Launcher(2), runTemp);
        HWND chooser = run.WaitForChooser();
        ASSERT_NE(chooser, nullptr);
        if (closeBox)
            PostMessageW(chooser, WM_SYSCOMMAND, SC_CLOSE, 0);
        else
            PressButton(chooser, IDCANCEL);
        EXPECT_EQ(run.Wait(), 0u);
        EXPECT_TRUE(run.ShowsNothingFor(0));
        EXPECT_TRUE(ReadBytes(runTemp + "\\UPD00000000\\update_10_01_190.upd")
                    == PackageBuilder().Header("10.01.188", "10.01.190", 2).Tail().Bytes());
    }
    EXPECT_TRUE(UpdaterLog(root.Join("v188"), 300).empty());
    EXPECT_TRUE(UpdaterLog(root.Join("v189"), 300).empty());
}

TEST_F(Chooser, DamagedHeaderIsReportedInsteadOfTheChooser)
{
    Install({{"v188", "10.01.188"}, {"v189", "10.01.189"}});
    std::string launcher = MakeLauncher(root.Path(), "update.exe",
                                        PackageBuilder().Header("10.01", "10.01.190", 2).Tail().Bytes());
    LauncherRun run(launcher, temp);
    SeenBox box = run.NextBox();
    EXPECT_EQ(box.caption, L"Увага!");
    EXPECT_EQ(box.text, L"Помилка визначення версії оновлення!\nФайл оновлення пошкоджено!");
    EXPECT_FALSE(box.hasOwner);
    EXPECT_EQ(run.Wait(), 0u);
    EXPECT_TRUE(UpdaterLog(root.Join("v188"), 300).empty());
}

}  // namespace
