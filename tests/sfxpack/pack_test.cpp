#include "commands/pack.h"

#include "image/resources.h"
#include "sfxpack_harness.h"

#include <sstream>

namespace {

// An icon file: its header, an entry per image (16 by 16, 32 bits), the images.
std::string IconFile(const std::vector<std::string>& images)
{
    std::string file = Record("", 0x10000) + Record("", static_cast<uint32_t>(images.size())).substr(0, 2);
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (const std::string& image : images) {
        file += std::string("\x10\x10\0\0\1\0\x20\0", 8) + Record("", static_cast<uint32_t>(image.size()))
                + Record("", offset);
        offset += static_cast<uint32_t>(image.size());
    }
    for (const std::string& image : images)
        file += image;
    return file;
}

std::vector<Resource> ResourcesOf(const std::string& image)
{
    std::vector<Resource> resources;
    ResourceSection section;
    std::string error;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(image.data());
    EXPECT_TRUE(FindResourceSection(bytes, image.size(), &section, &error)) << error;
    if (section.found)
        EXPECT_TRUE(ReadResources(bytes + section.fileOffset, section.rawSize, section.rva, &resources, &error))
            << error;
    return resources;
}

std::string ResourceBytes(const std::vector<Resource>& resources, uint32_t type, uint32_t id)
{
    for (const Resource& resource : resources) {
        if (!resource.type.named && resource.type.id == type && !resource.name.named && resource.name.id == id)
            return std::string(resource.data.begin(), resource.data.end());
    }
    return "(none)";
}

// The publisher's icon and strings, in any language, join the stub's own
// resources, which stay byte for byte; inspect and the resources read them
// back. What is not an icon file, or not a string the record holds, is
// refused before anything is written.
TEST(Pack, BrandsTheLauncherWithAnIconAndVersionStringsOrRefuses)
{
    std::string dir = TestFolder();
    std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(64, 'p');
    std::string bitmap = std::string(40, 'b') + std::string(1024, 'm');
    std::string icon = IconFile({png, bitmap});
    WriteFile(dir + "app.ico", icon);
    WriteFile(dir + "empty.ico", IconFile({}));
    WriteFile(dir + "cut.ico", icon.substr(0, icon.size() - 1));
    WriteFile(dir + "small.ico", IconFile({png, "tiny"}));
    // Both entries name the one bitmap, which the file holds once.
    std::string shared = IconFile({bitmap, bitmap}).substr(0, 38 + bitmap.size());
    WriteFile(dir + "shared.ico", shared.replace(34, 4, Record("", 38)));
    WriteFile(dir + "tiny.exe", TinyStub());
    WriteFile(dir + "p.upd", ExamplePackage());
    std::string strings = "--version-string";
    // A profile file with the given lines, after its section.
    int profiles = 0;
    auto profile = [&](const std::string& lines) {
        std::string path = dir + "p" + std::to_string(++profiles) + ".ini";
        WriteFile(path, lines);
        return path;
    };
    std::string ledger = std::string(SFXPACK_SOURCE_DIR) + "/docs/examples/ledger.ini";
    std::string application = "[application]\n";
    std::string notInside = "is not a path inside the installation directory (a \"..\", a drive, a leading or doubled "
                            "\\, a device or a part ending in a dot or a space)\n";
    struct Case {
        std::vector<std::string> args;
        std::string result;  // what inspect prints of it, or the refusal
    } cases[] = {
        {{"--icon", dir + "app.ico", strings, "FileDescription=Оновлення Волтаніс 10.01.190", strings,
          "ProductName=ヴォルタニス更新", strings, "FileVersion=10.1.190.7"},
         "version numbers: file 10.1.190.7, product 10.1.190.0\n"
         "version string: FileDescription=Оновлення Волтаніс 10.01.190\n"
         "version string: ProductName=ヴォルタニス更新\nversion string: FileVersion=10.1.190.7\nicon images: 2\n"},
        {{strings, "CompanyName=Корвелла", strings, "ProductVersion=10.01.190 beta", strings, "Comments=\x1b[2J",
          dir + "tiny.exe"},
         "version numbers: file 10.1.190.0, product 10.1.190.0\nversion string: CompanyName=Корвелла\n"
         "version string: ProductVersion=10.01.190 beta\nversion string: Comments=\uFFFD[2J\n"},
        // The parts not given are zero, the same on every pack.
        {{strings, "FileVersion=10"}, "version numbers: file 10.0.0.0, product 10.1.190.0\n"},
        {{"--icon", dir + "p.upd"}, "p.upd is not an icon file: its header is not that of an icon file\n"},
        {{"--icon", dir + "empty.ico"}, "empty.ico is not an icon file: it holds no images\n"},
        {{"--icon", dir + "cut.ico"}, "cut.ico is not an icon file: image 2 reaches past the end of the file\n"},
        {{"--icon", dir + "small.ico"}, "small.ico is not an icon file: image 2 has a size of 4 bytes, out of range\n"},
        {{"--icon", dir + "shared.ico"}, "shared.ico is not an icon file: its images together are larger than the file: "
                                          "they overlap\n"},
        {{strings, "FileVersion=10.70000"}, "FileVersion=10.70000: 70000 is out of range; the version record's numbers "
                                             "are 0 to 65535\n"},
        {{strings, "Comments"}, ": --version-string Comments is not NAME=VALUE\n"},
        {{strings, "Comments=" + std::string(40000, 'x')},
         ": --version-string Comments has a value of 40000 characters, longer than the version record holds\n"},
        {{"--profile", profile("; Ledger\n[application]\nkey = SOFTWARE\\Acme\n\n[texts]\nok = Fine \\n\\\\\n")},
         "profile: key = SOFTWARE\\Acme\nprofile: ok = Fine \\n\\\\\n"},
        {{"--profile", ledger, dir + "tiny.exe"}, "profile: updater_option = --apply\n"},
        {{"--profile", profile("[app]\n")}, "p2.ini line 1: unknown section [app]; there are [application] and [texts]\n"},
        {{"--profile", profile(application + "updatr = x.exe\n")}, "p3.ini line 2: unknown key \"updatr\" in [application]\n"},
        {{"--profile", profile("[texts]\nprefix = ACME\n")}, "p4.ini line 2: unknown key \"prefix\" in [texts]\n"},
        {{"--profile", profile(application + "updater = bin\\up.exe\n")}, "p5.ini line 2: \"updater\" is not a plain file name\n"},
        {{"--profile", profile(application + "server = C:srv.exe\n")}, "p6.ini line 2: \"server\" is not a plain file name\n"},
        {{"--profile", profile(application + "config = ..\\x.xml\n")},
         "p7.ini line 2: \"config\" " + notInside},
        {{"--profile", profile(application + "config = C:\\x.xml\n")},
         "p8.ini line 2: \"config\" " + notInside},
        {{"--profile", profile(application + "config = \\x.xml\n")},
         "p9.ini line 2: \"config\" " + notInside},
        {{"--profile", profile(application + "updater_option = /U\"L\n")},
         "p10.ini line 2: \"updater_option\" holds a double quote, which would end a quoted piece of the command line\n"},
        {{"--profile", profile(application + "prefix =\n")}, "p11.ini line 2: \"prefix\" is empty; the launcher needs it\n"},
        {{"--profile", profile(application + "server_mode = NET\nmode =\n")},
         "p12.ini line 3: \"mode\" is empty, but server_mode is set\n"},
        {{"--profile", profile(application + "key = " + std::string(260, 'k') + "\n")},
         "p13.ini line 2: \"key\" has 260 characters; the launcher holds 259\n"},
        {{"--profile", profile("[texts]\nok = \xC0\xAF\n")}, "p14.ini line 2: \"ok\" is not valid UTF-8\n"},
        {{"--profile", profile(application + "prefix = A\nprefix = B\n")},
         "p15.ini line 3: \"prefix\" is set again; line 2 set it first\n"},
        {{"--profile", profile(application + "updater\n")},
         "p16.ini line 2: neither a [section], a ; comment nor key = value\n"},
        {{"--profile", profile(application + "updater = nul.exe\n")}, "p17.ini line 2: \"updater\" is not a plain file name\n"},
        {{"--profile", profile(application + "server = srv.exe.\n")}, "p18.ini line 2: \"server\" is not a plain file name\n"},
        {{"--profile", profile(application + "config = config\\Com1.xml\n")}, "p19.ini line 2: \"config\" " + notInside},
        {{"--profile", profile(application + "config = config\\...\\x.xml\n")}, "p20.ini line 2: \"config\" " + notInside},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"pack"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.insert(args.end(), {dir + "p.upd", dir + "out.exe"});
        ToolRun run = Sfxpack(args);
        std::string refusal = run.err.substr(run.err.size() - std::min(run.err.size(), c.result.size()));
        if (run.status != 0 || (c.result.find("version numbers") != 0 && c.result.find("profile:") != 0)) {
            EXPECT_EQ(run.status, 1) << c.result;
            EXPECT_EQ(refusal, c.result);
            EXPECT_FALSE(Exists(dir + "out.exe")) << c.result;
            continue;
        }
        ToolRun inspect = Sfxpack({"inspect", dir + "out.exe"});
        EXPECT_NE(inspect.out.find("holds\n"), std::string::npos) << inspect.out;
        EXPECT_NE(inspect.out.find(c.result), std::string::npos) << inspect.out;
        EXPECT_EQ(Sfxpack({"extract", dir + "out.exe", dir + "x.upd"}).status, 0);
        EXPECT_EQ(ReadFile(dir + "x.upd"), ExamplePackage());
        std::string launcher = ReadFile(dir + "out.exe");
        std::vector<Resource> branded = ResourcesOf(launcher);
        std::string stubPath = c.args.back() == dir + "tiny.exe" ? SFXPACK_TINY_STUB : SFXPACK_EMBEDDED_STUB;
        std::string stub = ReadFile(stubPath);
        // pefile, a reader not ours, finds the sizes, directories and relocations the
        // PE format demands of the rebuilt sections, and reads the same numbers.
        Shell("/usr/bin/python3 '" + std::string(SFXPACK_SOURCE_DIR) + "/tests/sfxpack/pe_check.py' '" + stubPath
                  + "' '" + dir + "out.exe'",
              dir + "pe.log");
        // A profile is no version record: pefile shows nothing of it.
        std::string shown = c.args[0] == "--profile" ? "" : c.result.substr(0, c.result.find('\n') + 1);
        EXPECT_EQ(ReadFile(dir + "pe.log"), shown + (c.args[0] == "--icon" ? "icon images: 2\n" : ""));
        for (const Resource& kept : ResourcesOf(stub))
            EXPECT_EQ(ResourceBytes(branded, kept.type.id, kept.name.id), std::string(kept.data.begin(), kept.data.end()));
        if (c.args[0] == "--icon") {
            EXPECT_EQ(ResourceBytes(branded, 14, 1), icon.substr(0, 18) + std::string("\1\0", 2) + icon.substr(22, 12)
                                                      + std::string("\2\0", 2));
            EXPECT_EQ(ResourceBytes(branded, 3, 1), png);
            EXPECT_EQ(ResourceBytes(branded, 3, 2), bitmap);
        }
        ASSERT_EQ(Sfxpack(args).status, 0);
        EXPECT_TRUE(ReadFile(dir + "out.exe") == launcher) << "the same inputs gave other bytes";
        std::filesystem::remove(dir + "out.exe");
    }
}

// The records are what the launcher's rules read: the length, and the
// checksum the rules compute over exactly the package's bytes; the image
// checksum is that of the whole launcher.
TEST(Pack, WritesStubThenPackageWithTheLengthAndChecksumInTheDosHeader)
{
    std::string dir = TestFolder();
    std::string stub = TinyStub();
    std::string package = ExamplePackage();
    WriteFile(dir + "stub.exe", stub);
    WriteFile(dir + "p.upd", package);

    ToolRun run = Sfxpack({"pack", dir + "stub.exe", dir + "p.upd", dir + "launcher.exe"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "source version: 10.01.188\n"
                       "target version: 10.01.190\n"
                       "format type: 2 (any installed version from the source up to, not including, the target)\n"
                       "wrote " + dir + "launcher.exe: image " + std::to_string(stub.size()) + " bytes, package "
                           + std::to_string(package.size()) + " bytes, CRC-32C " + Hex8(ChecksumOf(package)) + "\n");

    std::string expected = stub;
    expected.replace(0x28, 8, Record("PKLN", static_cast<uint32_t>(package.size())));
    expected.replace(0x30, 8, Record("PKCC", ChecksumOf(package)));
    expected.replace(ImageChecksumField(stub), 4, Record("", ImageChecksumOf(expected + package)));
    EXPECT_EQ(ReadFile(dir + "launcher.exe"), expected + package);
    EXPECT_EQ(ReadFile(dir + "stub.exe"), stub);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 3) << "a temporary file was left";
}

// The tool carries the stub this build made, names it by its SHA-256, and
// packs onto it when no stub is given.
TEST(Pack, WithoutAStubUsesTheEmbeddedStubThatVersionNames)
{
    std::string dir = TestFolder();
    std::string stub = ReadFile(SFXPACK_EMBEDDED_STUB);
    ASSERT_FALSE(stub.empty());
    ToolRun version = Sfxpack({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("sfxpack ") + SFXPACK_VERSION + "\nembedded stub: " + std::to_string(stub.size())
                               + " bytes, SHA-256 " + Sha256sumOf(SFXPACK_EMBEDDED_STUB) + "\n");

    std::string package = ExamplePackage();
    WriteFile(dir + "p.upd", package);
    ToolRun run = Sfxpack({"pack", dir + "p.upd", dir + "launcher.exe"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::string expected = stub;
    expected.replace(0x28, 8, Record("PKLN", static_cast<uint32_t>(package.size())));
    expected.replace(0x30, 8, Record("PKCC", ChecksumOf(package)));
    expected.replace(ImageChecksumField(stub), 4, Record("", ImageChecksumOf(expected + package)));
    EXPECT_TRUE(ReadFile(dir + "launcher.exe") == expected + package);
    // The default profile, packed unchanged, gives the default launcher.
    ToolRun profile = Sfxpack({"profile"});
    EXPECT_EQ(profile.status, 0);
    WriteFile(dir + "default.ini", profile.out);
    ASSERT_EQ(Sfxpack({"pack", "--profile", dir + "default.ini", dir + "p.upd", dir + "defaults.exe"}).status, 0);
    EXPECT_TRUE(ReadFile(dir + "defaults.exe") == expected + package);

    std::filesystem::create_directory(dir + "folder.upd");
    ToolRun folder = Sfxpack({"pack", dir + "folder.upd", dir + "out.exe"});
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.err.find("not a regular file"), std::string::npos) << folder.err;
    EXPECT_EQ(Sfxpack({"pack", dir + "p.upd", dir + "p.upd"}).status, 1);
    EXPECT_EQ(ReadFile(dir + "p.upd"), package);
}

TEST(Pack, RefusesStubsThatDoNotEndWhereTheirImageEnds)
{
    std::string dir = TestFolder();
    std::string stub = TinyStub();
    WriteFile(dir + "p.upd", ExamplePackage());
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"symbols.exe", ReadFile(SFXPACK_TINY_STUB_SYMBOLS), "bytes after its image (a symbol table"},
        {"appended.exe", stub + "x", "has 1 bytes after its image"},
        {"cut.exe", stub.substr(0, stub.size() - 1), "is truncated: its image ends at byte"},
        {"text.exe", "MZ but not a PE image", "is not a PE image"},
        {"empty.exe", "", "is not a PE image"},
    };
    for (const Case& c : cases) {
        WriteFile(dir + c.name, c.bytes);
        ToolRun run = Sfxpack({"pack", dir + c.name, dir + "p.upd", dir + "out.exe"});
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << c.name << ": " << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
        EXPECT_FALSE(Exists(dir + "out.exe")) << c.name;
    }
}

TEST(Pack, RefusesPackagesTheLauncherWouldReject)
{
    std::string dir = TestFolder();
    WriteFile(dir + "stub.exe", TinyStub());
    struct Case {
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"", "it does not start with PATCH"},
        {PackageBuilder().Raw("PATCX").Name("PATCHHEAD").Bytes(), "it does not start with PATCH"},
        {PackageBuilder().Header("10.01", "10.01.190", 2).Bytes(), "the SRCVERSION value is cut short"},
        {PackageBuilder().Header("10.01.188", "10.01.190.1", 2).Bytes(),
         "the DSTVERSION value is not a version of three numbers"},
        {PackageBuilder().Magic().Name("PATCHHEAD").Name("SRCVERSION").U32(300).Raw(std::string(300, '1')).Bytes(),
         "longer than 249 bytes"},
    };
    for (const Case& c : cases) {
        WriteFile(dir + "p.upd", c.bytes);
        ToolRun run = Sfxpack({"pack", dir + "stub.exe", dir + "p.upd", dir + "out.exe"});
        EXPECT_EQ(run.status, 1) << c.reason;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_FALSE(Exists(dir + "out.exe")) << c.reason;
    }
}

// The worked example of docs/integration.md, read from its hex dump lines
// ("00000000  50 41 ...  |PATCH...|"), so the page cannot drift from the tool.
std::string IntegrationPageExample()
{
    std::istringstream page(ReadFile(std::string(SFXPACK_SOURCE_DIR) + "/docs/integration.md"));
    std::string bytes;
    for (std::string line; std::getline(page, line);) {
        size_t bar = line.find('|');
        if (line.find_first_not_of("0123456789abcdef") != 8 || line.compare(8, 2, "  ") != 0 || bar == line.npos)
            continue;
        std::istringstream hex(line.substr(10, bar - 10));
        for (unsigned value; hex >> std::hex >> value;)
            bytes += static_cast<char>(value);
    }
    return bytes;
}

TEST(Pack, AcceptsHeadersAsTheLauncherReadsThem)
{
    std::string dir = TestFolder();
    WriteFile(dir + "stub.exe", TinyStub());
    struct Case {
        std::string bytes;
        const char* out;
    } cases[] = {
        {PackageBuilder().Magic().Name("PATCHHEAD").Entry("SRCVERSION", "10.01.188").Bytes(),
         "source version: 10.01.188\ntarget version: none\nformat type: 0 (not in the header; the installed version "
         "must equal the source)\nnote: the DSTVERSION entry is missing"},
        {IntegrationPageExample(), "source version: 10.01.188\ntarget version: 10.01.190\nformat type: 2 (any "
                                   "installed version from the source up to, not including, the target)\n"},
    };
    for (const Case& c : cases) {
        WriteFile(dir + "p.upd", c.bytes);
        ToolRun run = Sfxpack({"pack", dir + "stub.exe", dir + "p.upd", dir + "out.exe"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
    }
}

TEST(Pack, OutputAppearsWholeOrNotAtAll)
{
    std::string dir = TestFolder();
    std::string stub = TinyStub();
    WriteFile(dir + "stub.exe", stub);
    WriteFile(dir + "p.upd", ExamplePackage());

    // An older, longer launcher is replaced, not overwritten in place.
    WriteFile(dir + "out.exe", std::string(100000, 'o'));
    ASSERT_EQ(Sfxpack({"pack", dir + "stub.exe", dir + "p.upd", dir + "out.exe"}).status, 0);
    EXPECT_EQ(ReadFile(dir + "out.exe").size(), stub.size() + ExamplePackage().size());

    // A refused package leaves the previous launcher as it was.
    std::string previous = ReadFile(dir + "out.exe");
    WriteFile(dir + "bad.upd", "PATCX");
    EXPECT_EQ(Sfxpack({"pack", dir + "stub.exe", dir + "bad.upd", dir + "out.exe"}).status, 1);
    EXPECT_EQ(ReadFile(dir + "out.exe"), previous);

    // A folder, or a missing folder, is refused before the copy, in the system's words.
    std::filesystem::create_directory(dir + "folder.exe");
    ToolRun overFolder = Sfxpack({"pack", dir + "stub.exe", dir + "p.upd", dir + "folder.exe"});
    EXPECT_EQ(overFolder.status, 1);
    EXPECT_EQ(overFolder.err, "sfxpack: cannot write OUTPUT " + dir + "folder.exe: Is a directory\n");
    ToolRun intoMissing = Sfxpack({"pack", dir + "stub.exe", dir + "p.upd", dir + "missing/out.exe"});
    EXPECT_EQ(intoMissing.status, 1);
    EXPECT_EQ(intoMissing.err, "sfxpack: cannot write OUTPUT " + dir + "missing/out.exe: No such file or directory\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 5) << "a temporary file was left";

    // Packing onto an input would replace it.
    ToolRun ontoStub = Sfxpack({"pack", dir + "stub.exe", dir + "p.upd", dir + "./stub.exe"});
    EXPECT_EQ(ontoStub.status, 1);
    EXPECT_NE(ontoStub.err.find("is one of the input files"), std::string::npos);
    EXPECT_EQ(Sfxpack({"pack", dir + "stub.exe", dir + "p.upd", dir + "p.upd"}).status, 1);
    EXPECT_EQ(ReadFile(dir + "stub.exe"), stub);
}

TEST(Pack, LauncherMustStayBelowFourGigabytes)
{
    EXPECT_TRUE(LauncherSizeFits(0x1000, 0xFFFFFFFFu - 0x1000));
    EXPECT_FALSE(LauncherSizeFits(0x1000, 0x100000000u - 0x1000));
    EXPECT_FALSE(LauncherSizeFits(0x1000, UINT64_MAX));
    EXPECT_FALSE(LauncherSizeFits(UINT64_MAX, 1));
}

// The launcher takes such packages, so they are packed; but only the exact
// source version can take them, whatever the publisher meant.
TEST(Pack, WarnsOfARangeThatHoldsNoVersion)
{
    std::string dir = TestFolder();
    WriteFile(dir + "stub.exe", TinyStub());
    struct Case {
        const char* source;
        const char* target;
        uint32_t formatType;
        const char* keys;  // nullptr: no warning
    } cases[] = {
        {"10.01.190", "10.01.188", 2, "101190 and 101188"},
        // Major weighs only ten times minor: these two share a key.
        {"10.10.000", "11.00.000", 2, "110000 and 110000"},
        {"10.09.999", "11.00.000", 2, nullptr},
        {"10.01.190", "10.01.188", 0, nullptr},
    };
    for (const Case& c : cases) {
        WriteFile(dir + "p.upd", PackageBuilder().Header(c.source, c.target, c.formatType).Tail().Bytes());
        ToolRun run = Sfxpack({"pack", dir + "stub.exe", dir + "p.upd", dir + "out.exe"});
        std::string warning = std::string("sfxpack: warning: format type 2, but the launcher does not rank source ")
                              + "version " + c.source + " below target version " + c.target + " (version keys "
                              + (c.keys != nullptr ? c.keys : "") + "): only an installation of exactly " + c.source
                              + " takes this package\n";
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, c.keys != nullptr ? warning : "") << c.source << " to " << c.target;
    }
}

// A script of this folder run with args; its output in log.
bool TestScript(const std::string& script, const std::string& args, const std::string& log)
{
    return Shell("sh '" + std::string(SFXPACK_SOURCE_DIR) + "/tests/" + script + "' " + args, log);
}

// The largest launcher there is: the warning comes before the copy, then each
// interruption stops the copy and takes the temporary with it.
TEST(Pack, InterruptedLeavesOnlyTheInputs)
{
    std::string dir = TestFolder();
    // Sparse: gigabytes to copy, nothing on the disk but the header.
    WriteFile(dir + "big.upd", ExamplePackage());
    std::filesystem::resize_file(dir + "big.upd", 0xFFFFFFFFu - ReadFile(SFXPACK_EMBEDDED_STUB).size());
    for (const char* signalAndStatus : {"PIPE 141", "INT 130", "TERM 143", "HUP 129", "QUIT 131"}) {
        EXPECT_TRUE(TestScript("sfxpack/interrupted_pack.sh",
                               "'" + dir + "' " + signalAndStatus + " '" + SFXPACK_BINARY + "'", dir + "script.log"))
            << ReadFile(dir + "script.log");
    }
    EXPECT_NE(ReadFile(dir + "pack.log")
                  .find("sfxpack: warning: the launcher will be 4294967295 bytes, within 1 MiB of 4 GiB: once signed "
                        "it may be larger than the launcher can read\n"),
              std::string::npos)
        << ReadFile(dir + "pack.log");
}

// The system's reason, the file the user named, and nothing left on the disk;
// what was printed before comes first where both streams share one file.
TEST(Pack, OnAFullDiskPackAndExtractSayWhyAndLeaveNothing)
{
    std::string dir = TestFolder();
    // The Wine suite's full disk, beside the test folders: a mount a killed run
    // left is no folder to remove, and mounting again takes it down first.
    std::string disk = std::string(SFXPACK_WORK_DIR) + "/small_disk";
    if (!TestScript("e2e/small_disk.sh", "mount '" + disk + "'", disk + ".log"))
        GTEST_SKIP() << "mounting a tmpfs needs root: " << ReadFile(disk + ".log");
    PackInto(dir, "launcher.exe", ExamplePackage() + std::string(9 << 20, 'p'));

    std::string log = dir + "pack.log";
    EXPECT_FALSE(
        Shell(std::string("'") + SFXPACK_BINARY + "' pack '" + dir + "launcher.exe.upd' '" + disk + "/u.exe'", log));
    EXPECT_EQ(ReadFile(log), "source version: 10.01.188\n"
                             "target version: 10.01.190\n"
                             "format type: 2 (any installed version from the source up to, not including, the target)\n"
                             "sfxpack: cannot write OUTPUT " + disk + "/u.exe: No space left on device\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk), {}), 0);

    ToolRun extract = Sfxpack({"extract", dir + "launcher.exe", disk + "/x.upd"});
    EXPECT_EQ(extract.status, 1);
    EXPECT_EQ(extract.err, "sfxpack: cannot write OUTPUT " + disk + "/x.upd: No space left on device\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk), {}), 0);
    TestScript("e2e/small_disk.sh", "unmount '" + disk + "'", disk + ".log");
}

}  // namespace
