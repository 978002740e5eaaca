// On 64-bit Windows the launcher, a 32-bit program, reads the 32-bit registry
// view: a copy registered in the 64-bit view alone is not one of its copies.
// The 64-bit build, standing in where 32-bit programs cannot start, reads the same view.
#include <gtest/gtest.h>

#include <cstdlib>

#include "harness.h"
#include "package_builder.h"

namespace {

TEST(RegistryViews, CopyRegisteredOnlyInThe64BitViewIsNoCandidate)
{
    // Two views: a 64-bit process, or a 32-bit one under WoW64. The session
    // names its prefix, so a 64-bit one that runs this process with one view
    // fails instead of skipping.
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    bool twoViews = sizeof(void*) == 8 || wow64;
    const char* arch = std::getenv("SFX_WINE_ARCH");
    if (arch != nullptr && *arch != '\0')
        ASSERT_EQ(twoViews, std::string(arch) == "win64") << "the session's prefix is " << arch;
    if (!twoViews)
        GTEST_SKIP() << "a 32-bit prefix has one registry view only";

    TempDir root;
    std::string temp = root.Join("Temp");
    MakeDir(temp);
    // Both copies fit the package, so seeing both would bring up the chooser.
    std::string app32 = MakeInstallation(root.Join("App32"), "10.01.188");
    std::string app64 = MakeInstallation(root.Join("App64"), "10.01.188");
    InstallationsKey registry;
    InstallationsKey registry64(KEY_WOW64_64KEY);
    registry.Add("VOLTANIS_A", app32);
    registry64.Add("VOLTANIS_B", app64);
    EXPECT_EQ(registry.EnumeratedNames(), std::vector<std::string>{"VOLTANIS_A"}) << "the views are separate";
    EXPECT_EQ(registry64.EnumeratedNames(), std::vector<std::string>{"VOLTANIS_B"});

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
