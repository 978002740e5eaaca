#include "examine.h"

#include "package/image_layout.h"
#include "sfxpack_harness.h"

namespace {

const char kExampleFields[] =
    "source version: 10.01.188\n"
    "target version: 10.01.190\n"
    "format type: 2 (any installed version from the source up to, not including, the target)\n";

TEST(Inspect, ReportsAPackedLauncher)
{
    std::string dir = TestFolder();
    std::string package = ExamplePackage();
    PackInto(dir, "launcher.exe", package);
    ToolRun run = Sfxpack({"inspect", dir + "launcher.exe"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::string size = std::to_string(package.size());
    EXPECT_EQ(run.out, "payload offset: " + std::to_string(TinyStub().size()) + "\npayload size: " + size
                           + "\nsigned: no\nimage checksum: " + Hex8(ImageChecksumOf(ReadFile(dir + "launcher.exe")))
                           + ", holds\nrecorded package length: " + size + "\nrecorded package checksum: CRC-32C "
                           + Hex8(ChecksumOf(package)) + "\npackage intact\n" + kExampleFields);
}

// The launcher refuses a package that fails its checksum, so inspect says
// what is wrong with it, from the same plan and the same checksum.
TEST(Inspect, HoldsThePackageToItsRecordedChecksum)
{
    std::string dir = TestFolder();
    std::string package = ExamplePackage() + std::string(5000, 'b');
    PackInto(dir, "launcher.exe", package);
    std::string launcher = ReadFile(dir + "launcher.exe");
    uint32_t expected = ChecksumOf(package);

    std::string flipped = launcher;
    flipped[launcher.size() - 100] ^= 0x01;
    WriteFile(dir + "flipped.exe", flipped);
    ToolRun damaged = Sfxpack({"inspect", dir + "flipped.exe"});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_EQ(damaged.err, "sfxpack: LAUNCHER " + dir + "flipped.exe is damaged: its package has CRC-32C "
                               + Hex8(ChecksumOf(flipped.substr(launcher.size() - package.size())))
                               + ", the record expects " + Hex8(expected) + "\n");
    EXPECT_EQ(damaged.out.find("package intact"), std::string::npos) << damaged.out;

    WriteFile(dir + "cut.exe", launcher.substr(0, launcher.size() - 1234));
    ToolRun cut = Sfxpack({"inspect", dir + "cut.exe"});
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(cut.err, "sfxpack: LAUNCHER " + dir + "cut.exe is cut short: 1234 bytes of its "
                           + std::to_string(package.size()) + "-byte package are missing\n");

    // A plain copy onto the stub carries no record: the launcher checks nothing.
    WriteFile(dir + "plain.exe", TinyStub() + package);
    ToolRun plain = Sfxpack({"inspect", dir + "plain.exe"});
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_NE(plain.out.find(", does not hold: the file's is " + Hex8(ImageChecksumOf(TinyStub() + package))),
              std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("recorded package checksum: none\npackage unchecked: no integrity record"),
              std::string::npos)
        << plain.out;
}

TEST(Inspect, RefusesWhatTheLauncherCouldNotUse)
{
    std::string dir = TestFolder();
    std::string stub = TinyStub();
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"text.exe", "not an executable at all, just some text here to exceed sixty-four bytes", "is not a PE image"},
        {"cut.exe", stub.substr(0, stub.size() - 0x100), "is truncated: its image ends at byte"},
        {"bare.exe", stub, "carries no package after its image"},
        {"magic.exe", stub + "PATCX", "package header damaged: it does not start with PATCH"},
        {"section.exe", stub + PackageBuilder().Magic().Name("PATCHBODY").Bytes(),
         "package header damaged: the section name after PATCH is not PATCHHEAD"},
        {"source.exe", stub + PackageBuilder().Header("10..01", "10.01.190", 2).Bytes(),
         "package header damaged: the SRCVERSION value is cut short, longer than 249 bytes, or not a version"},
    };
    for (const Case& c : cases) {
        WriteFile(dir + c.name, c.bytes);
        ToolRun run = Sfxpack({"inspect", dir + c.name});
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << c.name << ": " << run.err;
    }
    EXPECT_EQ(Sfxpack({"inspect", dir + "missing.exe"}).status, 1);
    EXPECT_EQ(Sfxpack({"inspect", dir}).status, 1);
}

// Launchers really signed: the signing tool pads the file to a multiple of 8
// before the certificate table, which the recorded length steps over.
class SignedLauncher : public testing::Test {
protected:
    // Packs a package of the given length, signs the launcher, and returns the
    // padding the signing tool put between package and certificate table.
    uint32_t PackAndSign(const std::string& dir, size_t packageLength)
    {
        std::string package = ExamplePackage();
        package += std::string(packageLength - package.size(), '\xA5');
        package_ = package;
        PackInto(dir, "unsigned.exe", package);
        EXPECT_TRUE(SignLauncher(dir, "unsigned.exe", "signed.exe"));
        launcher_ = ReadFile(dir + "signed.exe");
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(launcher_.data());
        uint32_t certificate = 0, size = 0;
        EXPECT_EQ(CertificateTable(bytes, 4096, &certificate, &size), 1);
        return certificate - static_cast<uint32_t>(TinyStub().size() + package_.size());
    }

    void ExpectInspectSeesThePackage(const std::string& dir)
    {
        ToolRun run = Sfxpack({"inspect", dir + "signed.exe"});
        ASSERT_EQ(run.status, 0) << run.err;
        std::string size = std::to_string(package_.size());
        EXPECT_NE(run.out.find("payload size: " + size + "\nsigned: yes (certificate table at "), std::string::npos)
            << run.out;
        EXPECT_NE(run.out.find(" bytes)\nsignatures: 1\nimage checksum: " + Hex8(ImageChecksumOf(launcher_)) + ", holds\n"),
                  std::string::npos) << run.out;
        EXPECT_NE(run.out.find("recorded package length: " + size + "\nrecorded package checksum: CRC-32C "
                                + Hex8(ChecksumOf(package_)) + "\npackage intact\n" + kExampleFields),
                  std::string::npos)
            << run.out;
        // The rules the launcher extracts with yield exactly the package.
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(launcher_.data());
        uint32_t offset = 0, length = 0;
        ASSERT_EQ(PayloadOffset(bytes, 4096, &offset), 1);
        ASSERT_EQ(PayloadLength(bytes, 4096, offset, static_cast<uint32_t>(launcher_.size()), &length), 1);
        EXPECT_EQ(launcher_.substr(offset, length), package_);
    }

    std::string package_;
    std::string launcher_;
};

TEST_F(SignedLauncher, PackageThatNeedsNoPadding)
{
    std::string dir = TestFolder();
    ASSERT_EQ(PackAndSign(dir, 4096), 0u);
    ExpectInspectSeesThePackage(dir);
}

TEST_F(SignedLauncher, PackageThatNeedsSevenBytesOfPadding)
{
    std::string dir = TestFolder();
    ASSERT_EQ(PackAndSign(dir, 4097), 7u);
    ExpectInspectSeesThePackage(dir);
}

TEST_F(SignedLauncher, StubSignedBeforePackingIsRefused)
{
    std::string dir = TestFolder();
    WriteFile(dir + "stub.exe", TinyStub());
    ASSERT_TRUE(SignLauncher(dir, "stub.exe", "signed_stub.exe"));
    WriteFile(dir + "p.upd", ExamplePackage());
    ToolRun run = Sfxpack({"pack", dir + "signed_stub.exe", dir + "p.upd", dir + "out.exe"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("is signed; sign the packed launcher, not the stub"), std::string::npos) << run.err;
}

}  // namespace
