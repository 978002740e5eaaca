// On 64-bit Windows the launcher, a 32-bit program, reads the 32-bit registry
// view: a copy registered in the 64-bit view alone is not one of its copies.
#include <gtest/gtest.h>

#include <cstdlib>

#include "harness.h"
#include "package_builder.h"

namespace {

// A copy registered under HKLM\SOFTWARE\Korvella in the 64-bit view only;
// that key is removed with all it holds before and after.
class Installation64 {
public:
    Installation64(const std::string& name, const std::string& directory)
    {
        Remove();
        HKEY key;
        std::string path = directory + '\0';
        created_ = RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kKey) + "\\" + name).c_str(), 0, nullptr, 0,
                                   KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr) == ERROR_SUCCESS;
        if (created_) {
            RegSetValueExA(key, "PATH", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.data()),
                           static_cast<DWORD>(path.size()));
            RegCloseKey(key);
        }
    }
    ~Installation64() { Remove(); }
    bool Created() const { return created_; }

private:
    static void Remove()
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
            return;
        RegDeleteTreeA(key, nullptr);
        RegCloseKey(key);
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_64KEY, 0);
    }

    static constexpr const char* kKey = "SOFTWARE\\Korvella";
    bool created_ = false;
};

TEST(RegistryViews, CopyRegisteredOnlyInThe64BitViewIsNoCandidate)
{
    // The session names its prefix, so a 64-bit one that runs this process
    // outside WoW64 fails instead of skipping.
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    const char* arch = std::getenv("SFX_WINE_ARCH");
    if (arch != nullptr && *arch != '\0')
        ASSERT_EQ(wow64 != FALSE, std::string(arch) == "win64") << "the session's prefix is " << arch;
    if (!wow64)
        GTEST_SKIP() << "a 32-bit prefix has one registry view only";

    TempDir root;
    std::string temp = root.Join("Temp");
    MakeDir(temp);
    // Both copies fit the package, so seeing both would bring up the chooser.
    std::string app32 = MakeInstallation(root.Join("App32"), "10.01.188");
    std::string app64 = MakeInstallation(root.Join("App64"), "10.01.188");
    InstallationsKey registry;
    registry.Add("VOLTANIS_A", app32);
    Installation64 other("VOLTANIS_B", app64);
    ASSERT_TRUE(other.Created());
    EXPECT_EQ(registry.EnumeratedNames(), std::vector<std::string>{"VOLTANIS_A"}) << "the views are separate";

    LauncherRun run(MakeLauncher(root.Path(), "update.exe",
                                 PackageBuilder().Header("10.01.188", "10.01.190", 2).Tail().Bytes()),
                    temp);
    EXPECT_EQ(run.Wait(), 0u) << "no chooser";
    std::vector<std::string> log = UpdaterLog(app32);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(FromUtf8(log[0]), ExpectedCommandLine(app32, temp + "\\UPD00000000"));
    EXPECT_TRUE(UpdaterLog(app64, 500).empty());
}

}  // namespace
