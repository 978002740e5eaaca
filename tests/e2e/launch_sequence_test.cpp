// The launch sequence end to end: work directory, package file, updater command
// line, and every failure told in its own words.
#include <gtest/gtest.h>

#include "harness.h"
#include "package_builder.h"

extern const char kSignedLaunchersDir[];

namespace {

const wchar_t kAttention[] = L"Увага!";
const wchar_t kWarning[] = L"Увага";

std::string SamplePackage()
{
    std::string body;
    for (int i = 0; i < 4096; ++i)
        body += static_cast<char>(i * 7 % 256);
    return PackageBuilder().Header("10.01.188", "10.01.190", 2).Tail().Bytes() + body;
}

class LaunchSequence : public ::testing::Test {
protected:
    void SetUp() override { MakeDir(temp); }

    InstallationsKey registry;
    TempDir root;
    std::string temp = root.Join("Temp");
};

TEST_F(LaunchSequence, SingleInstallationGetsItsUpdaterWithoutAQuestion)
{
    // The version has nothing to do with the package: one copy is always offered.
    std::string app = MakeInstallation(root.Join("App"), "7.00.001");
    registry.Add("VOLTANIS", app);
    std::string package = SamplePackage();
    LauncherRun run(MakeLauncher(root.Path(), "update_10_01_190.exe", package), temp);

    EXPECT_EQ(run.WaitForProgress(), nullptr) << "a package written at once shows no progress";
    EXPECT_EQ(run.Wait(), 0u);
    std::vector<std::string> log = UpdaterLog(app);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(FromUtf8(log[0]), ExpectedCommandLine(app, temp + "\\UPD00000000"));
    wchar_t ownDirectory[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, ownDirectory);
    EXPECT_EQ(FromUtf8(log[1]), ownDirectory) << "the updater inherits the launcher's current directory";
    EXPECT_EQ(WorkEntries(temp), std::vector<std::string>{"UPD00000000"});
    EXPECT_TRUE(ReadBytes(temp + "\\UPD00000000\\update_10_01_190.upd") == package);
}

TEST_F(LaunchSequence, CyrillicFoldersPassThroughInTheAnsiCodePage)
{
    ASSERT_EQ(GetACP(), 1251u) << "the test session runs with a Ukrainian code page";
    std::string cyrillicTemp = root.Join(Ansi("Тимчасові файли"));
    MakeDir(cyrillicTemp);
    std::string app = MakeInstallation(root.Join(Ansi("Програма Каса")), "10.01.188");
    registry.Add("VOLTANIS1", app);
    std::string package = SamplePackage();
    LauncherRun run(MakeLauncher(root.Path(), Ansi("оновлення.exe"), package), cyrillicTemp);

    EXPECT_EQ(run.Wait(), 0u);
    std::vector<std::string> log = UpdaterLog(app);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(FromUtf8(log[0]), ExpectedCommandLine(app, cyrillicTemp + "\\UPD00000000"));
    EXPECT_TRUE(ReadBytes(cyrillicTemp + "\\UPD00000000\\" + Ansi("оновлення.upd")) == package);
}

TEST_F(LaunchSequence, EmptyPayloadGivesAnEmptyPackageFile)
{
    std::string app = MakeInstallation(root.Join("App"), "10.01.188");
    registry.Add("VOLTANIS", app);
    LauncherRun run(MakeLauncher(root.Path(), "update.exe", ""), temp);

    EXPECT_EQ(run.Wait(), 0u);
    EXPECT_EQ(UpdaterLog(app).size(), 2u);
    EXPECT_TRUE(Exists(temp + "\\UPD00000000\\update.upd"));
    EXPECT_EQ(ReadBytes(temp + "\\UPD00000000\\update.upd"), "");
}

TEST_F(LaunchSequence, WorkDirectoryTakesTheFirstFreeName)
{
    WriteBytes(temp + "\\UPD00000000", "a file");
    MakeDir(temp + "\\UPD00000001");
    MakeDir(temp + "\\UPD00000002");
    std::string app = MakeInstallation(root.Join("App"), "10.01.188");
    registry.Add("VOLTANIS", app);
    LauncherRun run(MakeLauncher(root.Path(), "update.exe", SamplePackage()), temp);

    EXPECT_EQ(run.Wait(), 0u);
    std::vector<std::string> log = UpdaterLog(app);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(FromUtf8(log[0]), ExpectedCommandLine(app, temp + "\\UPD00000003"));
    EXPECT_EQ(ReadBytes(temp + "\\UPD00000000"), "a file");
    EXPECT_TRUE(ReadBytes(temp + "\\UPD00000003\\update.upd") == SamplePackage());
}

TEST_F(LaunchSequence, PackageFileIsNamedAfterTheLauncherWithoutItsLastExtension)
{
    std::string app = MakeInstallation(root.Join("App"), "10.01.188");
    registry.Add("VOLTANIS", app);
    struct Case {
        const char* launcher;
        const char* package;
    } cases[] = {{"a.b.exe", "a.b.upd"}, {"update_no_extension", "update_no_extension.upd"}};
    for (const Case& c : cases) {
        std::string caseTemp = root.Join(std::string("t_") + c.package);
        MakeDir(caseTemp);
        LauncherRun run(MakeLauncher(root.Path(), c.launcher, SamplePackage()), caseTemp);
        EXPECT_EQ(run.Wait(), 0u) << c.launcher;
        EXPECT_TRUE(ReadBytes(caseTemp + "\\UPD00000000\\" + c.package) == SamplePackage()) << c.launcher;
        DeleteFileA((app + "\\updater_log.txt").c_str());
    }
}

TEST_F(LaunchSequence, InstallationPathEndingInABackslashIsPassedUnchanged)
{
    std::string app = MakeInstallation(root.Join("App"), "10.01.188");
    registry.Add("VOLTANIS", app + "\\");
    LauncherRun run(MakeLauncher(root.Path(), "update.exe", SamplePackage()), temp);

    EXPECT_EQ(run.Wait(), 0u);
    std::vector<std::string> log = UpdaterLog(app);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(FromUtf8(log[0]), ExpectedCommandLine(app + "\\", temp + "\\UPD00000000"));
    EXPECT_NE(log[0].find("\\\" \""), std::string::npos) << "the argument closes with a backslash before the quote";
}

TEST_F(LaunchSequence, NoInstallationIsReported)
{
    LauncherRun run(MakeLauncher(root.Path(), "update.exe", SamplePackage()), temp);
    SeenBox box = run.NextBox();
    EXPECT_EQ(box.caption, kWarning);
    EXPECT_EQ(box.text, L"Не знайдено жодної копії програми!");
    EXPECT_FALSE(box.hasOwner);
    EXPECT_EQ(run.Wait(), 0u);
    // The package stays for whoever looks into the failure.
    EXPECT_TRUE(ReadBytes(temp + "\\UPD00000000\\update.upd") == SamplePackage());
}

TEST_F(LaunchSequence, UpdateInProgressRefusesTheLauncher)
{
    HANDLE update = CreateMutexA(nullptr, TRUE, "tarn5update");
    ASSERT_NE(update, nullptr);
    LauncherRun run(MakeLauncher(root.Path(), "update.exe", SamplePackage()), temp);
    SeenBox box = run.NextBox();
    CloseHandle(update);
    EXPECT_EQ(box.caption, kAttention);
    EXPECT_EQ(box.text, L"Оновлення вже виконується.\r\nПочекайте закінчення роботи поновлення.");
    EXPECT_FALSE(box.hasOwner);
    EXPECT_EQ(run.Wait(), 0u);
    EXPECT_TRUE(WorkEntries(temp).empty());
}

TEST_F(LaunchSequence, SecondLauncherIsRefusedWhileTheFirstWaitsForTheUser)
{
    registry.Add("VOLTANIS_A", MakeInstallation(root.Join("A"), "10.01.188"));
    registry.Add("VOLTANIS_B", MakeInstallation(root.Join("B"), "10.01.189"));
    std::string launcher = MakeLauncher(root.Path(), "update.exe", SamplePackage());
    LauncherRun first(launcher, temp);
    HWND chooser = first.WaitForChooser();
    ASSERT_NE(chooser, nullptr);

    std::string secondTemp = root.Join("Temp2");
    MakeDir(secondTemp);
    LauncherRun second(launcher, secondTemp);
    SeenBox box = second.NextBox();
    EXPECT_EQ(box.caption, kAttention);
    EXPECT_EQ(box.text, L"Оновлення вже виконується.\r\nПочекайте закінчення роботи поновлення.");
    EXPECT_EQ(second.Wait(), 0u);
    EXPECT_TRUE(WorkEntries(secondTemp).empty());

    PressButton(chooser, IDCANCEL);
    EXPECT_EQ(first.Wait(), 0u);
}

TEST_F(LaunchSequence, MissingTemporaryDirectoryIsReported)
{
    LauncherRun run(MakeLauncher(root.Path(), "update.exe", SamplePackage()), root.Join("absent"));
    SeenBox box = run.NextBox();
    EXPECT_EQ(box.caption, kWarning);
    EXPECT_EQ(box.text, L"Помилка стровення тимчасового каталога!");
    EXPECT_EQ(run.Wait(), 0u);
}

// A directory path of exactly length characters (backslash included) under base.
std::string DeepDirectory(const std::string& base, size_t length)
{
    std::string path = base;
    while (path.size() + 1 < length) {
        size_t step = std::min<size_t>(60, length - path.size() - 1);
        path += "\\" + std::string(step - 1, 'd');
        if (path.size() + 1 > length) {
            path.resize(length - 1);
        }
        MakeDir(path);
    }
    EXPECT_EQ(path.size() + 1, length);
    return path;
}

TEST_F(LaunchSequence, TemporaryPathTooLongForTheNamesEndsWithAReport)
{
    // 249 characters leave no room for a whole UPD name: cut names would repeat forever.
    std::string deep = DeepDirectory(root.Path(), 249);
    LauncherRun run(MakeLauncher(root.Path(), "update.exe", SamplePackage()), deep);
    SeenBox box = run.NextBox();
    EXPECT_EQ(box.text, L"Помилка стровення тимчасового каталога!");
    EXPECT_EQ(run.Wait(), 0u);
    EXPECT_TRUE(WorkEntries(deep).empty());
}

TEST_F(LaunchSequence, PackageFileThatCannotBeWrittenIsReported)
{
    // With 247 characters the work directory takes 258 and the package path is
    // cut right after its backslash: no file can be created under that name.
    std::string deep = DeepDirectory(root.Path(), 247);
    registry.Add("VOLTANIS", MakeInstallation(root.Join("App"), "10.01.188"));
    LauncherRun run(MakeLauncher(root.Path(), "update.exe", SamplePackage()), deep);
    SeenBox box = run.NextBox();
    EXPECT_EQ(box.caption, kWarning);
    EXPECT_EQ(box.text, L"Помилка розпакування оновлення!");
    EXPECT_EQ(run.Wait(), 0u);
    EXPECT_EQ(WorkEntries(deep), std::vector<std::string>{"UPD00000000"});
    EXPECT_TRUE(UpdaterLog(root.Join("App"), 500).empty());
}

TEST_F(LaunchSequence, UpdaterThatIsNotAProgramIsReportedWithTheSystemsReason)
{
    std::string app = MakeInstallation(root.Join("App"), "10.01.188");
    WriteBytes(app + "\\update.exe", "this is not a program");
    registry.Add("VOLTANIS", app);
    LauncherRun run(MakeLauncher(root.Path(), "update.exe", SamplePackage()), temp);
    SeenBox box = run.NextBox();
    EXPECT_EQ(box.caption, kWarning);
    std::wstring prefix = L"Помилка запуска програми оновлення!\n0xC1: ";
    EXPECT_EQ(box.text.substr(0, prefix.size()), prefix);
    EXPECT_GT(box.text.size(), prefix.size()) << "the system's description follows the code";
    EXPECT_FALSE(box.hasOwner);
    EXPECT_EQ(run.Wait(), 0u);
}

// The longest command line the launcher forms, with directories of 200
// characters and an option of 250, reaches the updater whole.
TEST_F(LaunchSequence, LongOptionAndDirectoriesReachTheUpdaterWhole)
{
    std::string launcher = root.Join("long_option.exe");
    ASSERT_TRUE(
        CopyFileA((std::string(kSignedLaunchersDir) + "/long_option_unsigned.exe").c_str(), launcher.c_str(), FALSE));
    const size_t kDirectoryLength = 200;
    size_t nameLength = kDirectoryLength - root.Path().size() - 1;
    std::string longTemp = root.Join(std::string(nameLength, 't'));
    MakeDir(longTemp);
    std::string app = MakeInstallation(root.Join(std::string(nameLength, 'a')), "10.01.188");
    registry.Add("VOLTANIS", app);
    LauncherRun run(launcher, longTemp);
    EXPECT_EQ(run.Wait(), 0u);
    std::vector<std::string> log = UpdaterLog(app);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(FromUtf8(log[0]), WidePath("\"" + app + "\\update.exe\" /" + std::string(249, 'x') + " \"" + app + "\" \""
                                         + longTemp + "\\UPD00000000\""));
}

// A second application, packed with the profile of docs/examples/ledger.ini
// (every name different, English texts): the launcher finds only its copies,
// starts its updater with its option, speaks its words and keeps out of its
// update, not Voltanis's.
TEST_F(LaunchSequence, SecondApplicationsProfileGivesItsNamesAndTexts)
{
    std::string launcher = root.Join("ledger_update_2_01_006.exe");
    ASSERT_TRUE(CopyFileA((std::string(kSignedLaunchersDir) + "/ledger_unsigned.exe").c_str(), launcher.c_str(), FALSE));
    InstallationsKey ledgers(kInstallationsView, "SOFTWARE\\Acme Ledger", "InstallDir");
    std::string ledger = InstallFolder(root.Join("Ledger"))
                             .File("settings\\ledger.xml", "<ledger><deployment>shared</deployment>"
                                                            "<release>2.01.005</release></ledger>")
                             .File("LedgerServer.exe", "MZ")
                             .Path();
    CopyFileA(&kFakeUpdaterPath[0], (ledger + "\\ledger_update.exe").c_str(), FALSE);
    ledgers.Add("Ledger 2", ledger);
    // Voltanis's layout under the ledger's key, and a Voltanis copy under its own.
    ledgers.Add("LEDGER_OLD", MakeInstallation(root.Join("Old"), "2.01.005"));
    registry.Add("VOLTANIS", MakeInstallation(root.Join("Voltanis"), "10.01.188"));

    {
        // Voltanis's update in progress is not this application's.
        HANDLE voltanisUpdate = CreateMutexA(nullptr, TRUE, "tarn5update");
        LauncherRun run(launcher, temp);
        EXPECT_EQ(run.Wait(), 0u);
        CloseHandle(voltanisUpdate);
        std::vector<std::string> log = UpdaterLog(ledger);
        ASSERT_FALSE(log.empty()) << "a single copy is updated without a question";
        std::string expected = "\"" + ledger + "\\ledger_update.exe\" --apply \"" + ledger + "\" \"" + temp
                               + "\\UPD00000000\"";
        EXPECT_EQ(FromUtf8(log[0]), WidePath(expected));
        RecordProperty("updater_command_line", log[0]);
        EXPECT_TRUE(UpdaterLog(root.Join("Old"), 200).empty());
        EXPECT_TRUE(UpdaterLog(root.Join("Voltanis"), 200).empty());
    }
    {
        HANDLE update = CreateMutexA(nullptr, TRUE, "AcmeLedgerUpdate");
        LauncherRun run(launcher, temp);
        SeenBox box = run.NextBox();
        CloseHandle(update);
        EXPECT_EQ(box.caption, L"Acme Ledger Update");
        EXPECT_EQ(box.text, L"An Acme Ledger update is already running.\r\nPlease wait until it has finished.");
        EXPECT_EQ(run.Wait(), 0u);
    }
    DeleteFileA((ledger + "\\LedgerServer.exe").c_str());
    LauncherRun run(launcher, temp);
    SeenBox box = run.NextBox();
    EXPECT_EQ(box.caption, L"Acme Ledger Update");
    EXPECT_EQ(box.text, L"Acme Ledger is not installed on this computer.");
    RecordProperty("message_box", std::string(box.text.begin(), box.text.end()));
    EXPECT_EQ(run.Wait(), 0u);
}

}  // namespace
