#include "extract.h"

#include "package/image_layout.h"
#include "sfxpack_harness.h"

namespace {

size_t Entries(const std::string& dir)
{
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

TEST(Extract, WritesThePackageTheLauncherWouldWrite)
{
    std::string dir = TestFolder();
    std::string package = ExamplePackage() + std::string(3000, 'e');
    PackInto(dir, "launcher.exe", package);
    ToolRun run = Sfxpack({"extract", dir + "launcher.exe", dir + "out.upd"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "wrote " + dir + "out.upd: package " + std::to_string(package.size()) + " bytes from offset "
                           + std::to_string(TinyStub().size()) + ", CRC-32C " + Hex8(ChecksumOf(package))
                           + " as recorded\n");
    EXPECT_TRUE(ReadFile(dir + "out.upd") == package);

    // Without records the launcher takes everything after its image, unchecked.
    WriteFile(dir + "plain.exe", TinyStub() + package + "tail");
    ToolRun plain = Sfxpack({"extract", dir + "plain.exe", dir + "plain.upd"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_NE(plain.out.find("(no integrity record to check)"), std::string::npos) << plain.out;
    EXPECT_TRUE(ReadFile(dir + "plain.upd") == package + "tail");
}

// Each refusal is one line, and neither OUTPUT nor a temporary is left.
TEST(Extract, RefusesWhatTheLauncherWouldRefuseAndLeavesNoOutput)
{
    std::string dir = TestFolder();
    std::string stub = TinyStub();
    std::string package = ExamplePackage() + std::string(3000, 'e');
    PackInto(dir, "good.exe", package);
    std::string good = ReadFile(dir + "good.exe");
    std::string flipped = good;
    flipped[good.size() - 10] ^= 0x40;

    // A signed launcher whose recorded length reaches 5 bytes into its certificate table.
    ASSERT_TRUE(SignLauncher(dir, "good.exe", "signed.exe"));
    std::string overlong = ReadFile(dir + "signed.exe");
    uint32_t certificate = 0, certificateSize = 0;
    ASSERT_EQ(CertificateTable(reinterpret_cast<const uint8_t*>(overlong.data()), 4096, &certificate,
                               &certificateSize),
              1);
    uint32_t reach = certificate - static_cast<uint32_t>(stub.size()) + 5;
    overlong.replace(0x28, 8, Record("PKLN", reach));

    struct Case {
        const char* name;
        std::string bytes;
        std::string reason;
    } cases[] = {
        {"text.exe", "not an executable at all, just some text here to exceed sixty-four bytes",
         "is not a PE image, or its headers are damaged"},
        {"bare.exe", stub, "carries no package after its image"},
        {"cut_image.exe", stub.substr(0, stub.size() - 0x100), "is truncated: its image ends at byte"},
        {"cut.exe", good.substr(0, good.size() - 700),
         "is cut short: 700 bytes of its " + std::to_string(package.size()) + "-byte package are missing"},
        {"flipped.exe", flipped,
         "is damaged: its package has CRC-32C " + Hex8(ChecksumOf(flipped.substr(stub.size()))) + ", the record expects "
             + Hex8(ChecksumOf(package))},
        {"overlong.exe", overlong,
         "its recorded package length " + std::to_string(reach) + " reaches 5 bytes into its certificate table"},
        {"header.exe", stub + PackageBuilder().Raw("PATCX").Bytes(), "package header damaged (it does not start"},
    };
    for (const Case& c : cases) {
        WriteFile(dir + c.name, c.bytes);
        size_t before = Entries(dir);
        ToolRun run = Sfxpack({"extract", dir + c.name, dir + "out.upd"});
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << c.name << ": " << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
        EXPECT_EQ(Entries(dir), before) << c.name << " left a file";
    }
    ToolRun ontoLauncher = Sfxpack({"extract", dir + "good.exe", dir + "./good.exe"});
    EXPECT_EQ(ontoLauncher.status, 1);
    EXPECT_EQ(ReadFile(dir + "good.exe"), good);
}

}  // namespace
