#include "sfxpack_harness.h"

namespace {

TEST(CommandLine, EveryCommandAnswersHelp)
{
    std::vector<std::vector<std::string>> lines = {
        {"--help"}, {"pack", "--help"}, {"inspect", "-h"}, {"extract", "--help"}, {"config", "--help"},
        {"config", "decode", "--help"}, {"config", "encode", "--key", "--help"},
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
        {"inspect", "--verbose", "a"}, {"extract", "a"}, {"config"}, {"config", "rot13", "a", "b"},
        {"config", "decode", "a"},
    };
    for (const auto& line : lines) {
        ToolRun run = Sfxpack(line);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("sfxpack: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("usage: sfxpack "), std::string::npos) << run.err;
    }
}

// A file name that starts with a dash is told apart from an option by "--".
TEST(CommandLine, DoubleDashEndsTheOptions)
{
    std::string dir = TestFolder();
    WriteFile(dir + "-p.upd", ExamplePackage());
    ToolRun dashed = Sfxpack({"pack", "-p.upd", "-out.exe"});
    EXPECT_EQ(dashed.status, 2);
    EXPECT_EQ(dashed.err.substr(0, dashed.err.find('\n')),
              "sfxpack: unknown option -p.upd; put -- before a file name that starts with a dash");
    std::string tool = std::string("'") + SFXPACK_BINARY + "'";
    EXPECT_TRUE(Shell("cd '" + dir + "' && " + tool + " pack -- -p.upd -out.exe", dir + "pack.log"))
        << ReadFile(dir + "pack.log");
    EXPECT_TRUE(Shell("cd '" + dir + "' && " + tool + " extract -- -out.exe --help", dir + "extract.log"))
        << ReadFile(dir + "extract.log");
    EXPECT_EQ(ReadFile(dir + "--help"), ExamplePackage());
    ToolRun notHelp = Sfxpack({"inspect", "--", "--help"});
    EXPECT_EQ(notHelp.status, 1);
    EXPECT_EQ(notHelp.err, "sfxpack: cannot read LAUNCHER --help: No such file or directory\n");
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
