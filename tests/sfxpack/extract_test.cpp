#include "commands/extract.h"

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

// A signer pads the launcher to a multiple of 8 before its certificate table,
// so there are eight shapes, and a nested signature grows the table in place:
// extract gives exactly the package from each, and inspect counts the signatures.
TEST(Extract, EverySignatureShapeYieldsExactlyThePackageAndInspectCountsTheSignatures)
{
    std::string dir = TestFolder();
    const size_t kStubSize = TinyStub().size();
    const size_t kBase = 4096;
    for (size_t padding = 0; padding < 8; ++padding) {
        // The launcher's length modulo 8 decides the padding the signer adds.
        size_t length = kBase + (16 - (kStubSize + kBase) % 8 - padding) % 8;
        std::string package = ExamplePackage() + std::string(length - ExamplePackage().size(), 'p');
        std::string name = "padded" + std::to_string(padding);
        PackInto(dir, name + ".exe", package);
        ASSERT_TRUE(SignLauncher(dir, name + ".exe", name + "_signed.exe")) << ReadFile(dir + "sign.log");
        std::vector<std::string> launchers = {name + "_signed.exe"};
        if (padding == 3) {
            ASSERT_TRUE(SignLauncher(dir, name + "_signed.exe", name + "_nested.exe", "-nest -h sha512"))
                << ReadFile(dir + "sign.log");
            launchers.push_back(name + "_nested.exe");
        }
        for (size_t i = 0; i < launchers.size(); ++i) {
            SCOPED_TRACE(launchers[i]);
            std::string launcher = ReadFile(dir + launchers[i]);
            uint32_t certificate = 0, certificateSize = 0;
            ASSERT_EQ(CertificateTable(reinterpret_cast<const uint8_t*>(launcher.data()), 4096, &certificate,
                                       &certificateSize),
                      1);
            EXPECT_EQ(certificate - kStubSize - package.size(), padding);

            ToolRun extract = Sfxpack({"extract", dir + launchers[i], dir + "out.upd"});
            ASSERT_EQ(extract.status, 0) << extract.err;
            EXPECT_TRUE(ReadFile(dir + "out.upd") == package);

            ToolRun inspect = Sfxpack({"inspect", dir + launchers[i]});
            ASSERT_EQ(inspect.status, 0) << inspect.err;
            EXPECT_NE(inspect.out.find("signed: yes (certificate table at " + std::to_string(certificate) + ", "
                                       + std::to_string(certificateSize) + " bytes)\nsignatures: "
                                       + std::to_string(i + 1) + "\n"),
                      std::string::npos)
                << inspect.out;
        }
    }
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
