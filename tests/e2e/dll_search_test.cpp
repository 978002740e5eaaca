// A launcher run from a downloads folder must not load a library planted beside it.
#include <gtest/gtest.h>

#include "harness.h"
#include "package_builder.h"

namespace {

const char* const kPlantedNames[] = {"uxtheme.dll", "dwmapi.dll"};
const char kWineOverrides[] = "Software\\Wine\\DllOverrides";

// Wine prefers its own builds of these libraries wherever a file of the name
// lies; Windows takes the file. For the processes the tests start, ask Wine to
// behave like Windows.
class LikeWindows {
public:
    LikeWindows()
    {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kWineOverrides, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr)
            != ERROR_SUCCESS)
            return;
        for (const char* name : {"uxtheme", "dwmapi"})
            RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>("native,builtin"), 15);
        RegCloseKey(key);
    }
    ~LikeWindows()
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kWineOverrides, 0, KEY_WRITE, &key) != ERROR_SUCCESS)
            return;
        for (const char* name : {"uxtheme", "dwmapi"})
            RegDeleteValueA(key, name);
        RegCloseKey(key);
    }
};

class DllSearch : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeDir(temp);
        MakeDir(downloads);
        for (const char* name : kPlantedNames)
            CopyFileA(kPlantedDllPath, (downloads + "\\" + name).c_str(), FALSE);
    }

    std::vector<std::string> LoadedPlants()
    {
        std::vector<std::string> loaded;
        for (const char* name : kPlantedNames) {
            std::string marker = downloads + "\\" + name + ".loaded";
            if (Exists(marker))
                loaded.push_back(name);
            DeleteFileA(marker.c_str());
        }
        return loaded;
    }

    std::string Launcher()
    {
        return MakeLauncher(downloads, "update_10_01_190.exe",
                            PackageBuilder().Header("10.01.188", "10.01.190", 2).Tail().Bytes());
    }

    InstallationsKey registry;
    LikeWindows likeWindows;
    TempDir root;
    std::string temp = root.Join("Temp");
    std::string downloads = root.Join("Downloads");
};

TEST_F(DllSearch, PlantedLibraryIsPickedUpByAnOrdinaryProgram)
{
    // Without this the other tests could pass for the wrong reason.
    std::string probe = downloads + "\\probe.exe";
    CopyFileA(kPlantProbePath, probe.c_str(), FALSE);
    LauncherRun run(probe, temp);
    EXPECT_EQ(run.Wait(), 0u);
    EXPECT_FALSE(LoadedPlants().empty());
}

TEST_F(DllSearch, LauncherHandingOverToTheUpdaterLoadsNoPlantedLibrary)
{
    std::string app = MakeInstallation(root.Join("App"), "10.01.188");
    registry.Add("VOLTANIS", app);
    LauncherRun run(Launcher(), temp);
    EXPECT_EQ(run.Wait(), 0u);
    EXPECT_EQ(UpdaterLog(app).size(), 2u);
    EXPECT_TRUE(LoadedPlants().empty());
}

TEST_F(DllSearch, LauncherShowingTheChooserLoadsNoPlantedLibrary)
{
    registry.Add("VOLTANIS_A", MakeInstallation(root.Join("A"), "10.01.188"));
    registry.Add("VOLTANIS_B", MakeInstallation(root.Join("B"), "10.01.189"));
    LauncherRun run(Launcher(), temp);
    HWND chooser = run.WaitForChooser();
    ASSERT_NE(chooser, nullptr);
    PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(run.Wait(), 0u);
    EXPECT_TRUE(LoadedPlants().empty());
}

}  // namespace
