#include "sfxpack_harness.h"

namespace {

TEST(CommandLine, EveryCommandAnswersHelp)
{
    std::vector<std::vector<std::string>> lines = {
        {"--help"}, {"pack", "--help"}, {"inspect", "-h"}, {"extract", "--help"}, {"config", "--help"},
        {"config", "decode", "--help"}, {"config", "encode", "--key", "--help"}, {"profile", "--help"},
    };
    for (const auto& line : lines) {
        ToolRun run = Sfxpack(line);
        EXPECT_EQ(run.status, 0) << line[0];
        EXPECT_EQ(run.out.rfind("usage: sfxpack ", 0), 0u) << run.out;
        EXPECT_EQ(run.err, "");
    }
}

TEST(CommandLine, MisusedCommandsAreUsageErrors)
{
    std::vector<std::vector<std::string>> lines = {
        {}, {"unpack"}, {"pack", "a"}, {"pack", "a", "b", "c", "d"}, {"--version", "x"}, {"inspect"},
        {"inspect", "--verbose", "a"}, {"inspect", "a", "--signer"}, {"inspect", "--signer", "c", "--signer", "d", "a"},
        {"extract", "a"}, {"config"}, {"config", "rot13", "a", "b"},
        {"config", "decode", "a"}, {"profile", "a"}, {"pack", "--profile", "a", "--profile", "b", "c", "d"},
    };
    for (const auto& line : lines) {
        ToolRun run = Sfxpack(line);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("sfxpack: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("usage: sfxpack "), std::string::npos) << run.err;
    }
}

// A file name that starts with a dash is told apart from an option by "--";
// after it, even --help is a file name.
TEST(CommandLine, DoubleDashEndsTheOptions)
{
    std::string dir = TestFolder();
    WriteFile(dir + "-p.upd", ExamplePackage());
    std::string hint = "sfxpack: unknown option -p.upd; put -- before a file name that starts with a dash\n";
    EXPECT_EQ(Sfxpack({"pack", "-p.upd", "-out.exe"}).err.rfind(hint, 0), 0u);
    std::string tool = std::string("'") + SFXPACK_BINARY + "'";
    EXPECT_TRUE(Shell("cd '" + dir + "' && " + tool + " pack -- -p.upd -out.exe && " + tool
                          + " extract -- -out.exe --help",
                      dir + "tool.log"))
        << ReadFile(dir + "tool.log");
    EXPECT_EQ(ReadFile(dir + "--help"), ExamplePackage());
}

// The built program hands the statuses to the shell unchanged.
TEST(CommandLine, TheProgramExitsWithTheStatus)
{
    std::string dir = TestFolder();
    std::string tool = std::string("'") + SFXPACK_BINARY + "'";
    EXPECT_TRUE(Shell(tool + " --help", dir + "help.log"));
    EXPECT_EQ(WEXITSTATUS(system((tool + " inspect '" + dir + "missing' 2>/dev/null").c_str())), 1);
    EXPECT_EQ(WEXITSTATUS(system((tool + " 2>/dev/null").c_str())), 2);
}

}  // namespace
