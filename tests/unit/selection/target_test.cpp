// The target choice against real registry entries, installation folders and
// package files, with a person watching the screen from a second thread.
#include "selection/target.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <string>
#include <thread>
#include <vector>

#include "installations.h"
#include "launcher/instance.h"
#include "package/header.h"
#include "package_builder.h"
#include "resources/resource.h"
#include "test_files.h"
#include "window_driver.h"

namespace {

const wchar_t kChooserCaption[] = L"Вибір каталога програми";
const DWORD kWaitMs = 10000;

struct Choice {
    int result;
    std::string path;  // "<untouched>" unless a path was handed back
    std::vector<SeenBox> boxes;
    int choosersShown;
};

class ChooseTargetTest : public testing::Test {
protected:
    void SetUp() override { g_hInstance = GetModuleHandleA(nullptr); }

    std::string Package(const std::string& bytes)
    {
        std::string path = dir.Join("update_10_01_190.upd");
        WriteBytes(path, bytes);
        return path;
    }

    // Runs ChooseTarget while a person reads and closes every message box and
    // hands the chooser, should it appear, to onChooser, which has to end it.
    template <typename Person>
    Choice Choose(const std::string& packagePath, Person onChooser)
    {
        Choice choice = {-7, "<untouched>", {}, 0};
        volatile LONG finished = 0;
        std::thread person([&] {
            while (InterlockedCompareExchange(&finished, 0, 0) == 0) {
                HWND window = WaitForDialog(GetCurrentProcessId(), 50);
                if (window == nullptr)
                    continue;
                if (WindowText(window) == kChooserCaption) {
                    ++choice.choosersShown;
                    onChooser(window);
                    if (!WaitUntilGone(window, kWaitMs))
                        EndDialog(window, IDABORT);
                } else {
                    choice.boxes.push_back(ReadAndCloseBox(window));
                    WaitUntilGone(window, kWaitMs);
                }
            }
        });
        char untouched[] = "<untouched>";
        char* installPath = untouched;
        choice.result = ChooseTarget(&installPath, packagePath.c_str(), nullptr);
        InterlockedExchange(&finished, 1);
        person.join();
        if (installPath != untouched) {
            choice.path = installPath;
            HeapFree(GetProcessHeap(), 0, installPath);
        }
        return choice;
    }

    Choice ChooseWithoutChooser(const std::string& packagePath)
    {
        return Choose(packagePath, [](HWND chooser) { PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0); });
    }

    // Two copies the example package can be installed over only in part.
    void AddTwoCopies()
    {
        key.Add("VOLTANIS_A", a);
        key.Add("VOLTANIS_B", b);
    }

    TempDir dir;
    InstallationsKey key;
    std::string a = CompleteCopy(dir.Join("A"), "10.01.187");
    std::string b = CompleteCopy(dir.Join("B"), "10.01.189");
    std::string example = PackageBuilder().Header("10.01.188", "10.01.190", 2).Tail().Bytes();
};

TEST_F(ChooseTargetTest, NoInstallationGivesMinusOneAndShowsNothing)
{
    key.Add("VOLTANIS", dir.Join("missing"));
    Choice choice = ChooseWithoutChooser(Package(example));
    EXPECT_EQ(choice.result, -1);
    EXPECT_EQ(choice.path, "<untouched>");
    EXPECT_TRUE(choice.boxes.empty());
    EXPECT_EQ(choice.choosersShown, 0);
    // COM lasted only for the scan.
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
}

TEST_F(ChooseTargetTest, SingleInstallationIsTakenWhateverItsVersionWithoutReadingTheHeader)
{
    std::string only = CompleteCopy(dir.Join("Only"), "3.04.005");
    key.Add("VOLTANIS", only);
    // A missing package file would show the bad package message if it were read.
    Choice choice = ChooseWithoutChooser(dir.Join("absent.upd"));
    EXPECT_EQ(choice.result, 0);
    EXPECT_EQ(choice.path, only);
    EXPECT_TRUE(choice.boxes.empty());
    EXPECT_EQ(choice.choosersShown, 0);
}

TEST_F(ChooseTargetTest, UnreadableHeaderIsReportedOnceAndEndsWithoutChooser)
{
    AddTwoCopies();
    for (const std::string& package : {Package(""), dir.Join("absent.upd")}) {
        SCOPED_TRACE(package);
        Choice choice = ChooseWithoutChooser(package);
        EXPECT_EQ(choice.result, 1);
        EXPECT_EQ(choice.path, "<untouched>");
        EXPECT_EQ(choice.choosersShown, 0);
        ASSERT_EQ(choice.boxes.size(), 1u);
        EXPECT_EQ(choice.boxes[0].text, L"Помилка визначення версії оновлення!\nФайл оновлення пошкоджено!");
        EXPECT_FALSE(choice.boxes[0].hasOwner);
    }
}

TEST_F(ChooseTargetTest, CancelAndTheCloseBoxGiveOne)
{
    AddTwoCopies();
    std::string package = Package(example);
    Choice cancelled = Choose(package, [](HWND chooser) { PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0); });
    Choice closed = Choose(package, [](HWND chooser) { PostMessageW(chooser, WM_SYSCOMMAND, SC_CLOSE, 0); });
    for (const Choice& choice : {cancelled, closed}) {
        EXPECT_EQ(choice.result, 1);
        EXPECT_EQ(choice.path, "<untouched>");
        EXPECT_EQ(choice.choosersShown, 1);
        EXPECT_TRUE(choice.boxes.empty());
    }
}

TEST_F(ChooseTargetTest, AcceptedPickHandsBackACopyOfItsPath)
{
    AddTwoCopies();
    // The copy listed second; the first, 10.01.187, would be refused.
    Choice choice = Choose(Package(example), [](HWND chooser) {
        SendMessageA(GetDlgItem(chooser, IDC_INSTALL_LIST), LB_SETCURSEL, 1, 0);
        PostMessageW(chooser, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(choice.result, 0);
    EXPECT_EQ(choice.path, b);
    EXPECT_EQ(choice.choosersShown, 1);
    EXPECT_TRUE(choice.boxes.empty());
}

}  // namespace
