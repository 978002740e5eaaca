#include "commands/examine.h"

#include <sstream>

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
    // A launcher whose profile sets one value, prefix AC:E, with one byte of it changed.
    WriteFile(dir + "acme.ini", "[application]\nprefix = AC:E\n");
    WriteFile(dir + "tiny.exe", stub);
    WriteFile(dir + "p.upd", ExamplePackage());
    ASSERT_EQ(Sfxpack({"pack", "--profile", dir + "acme.ini", dir + "tiny.exe", dir + "p.upd", dir + "acme.exe"}).status,
              0);
    std::string profiled = ReadFile(dir + "acme.exe");
    size_t prefix = profiled.find(std::string("\1\0\4\0A\0C\0:\0E\0\0\0", 14));
    ASSERT_NE(prefix, std::string::npos);
    auto changed = [&](size_t at, char byte) {
        return profiled.substr(0, prefix + at) + byte + profiled.substr(prefix + at + 1);
    };
    const char* damagedProfile = "has a damaged profile: the launcher reports itself damaged and runs no update";
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
        {"past_end.exe", changed(2, '\x09'), damagedProfile},
        {"unknown_field.exe", changed(0, '\x1A'), damagedProfile},
        {"zero_inside.exe", changed(8, '\0'), damagedProfile},
        {"unterminated.exe", changed(12, 'X'), damagedProfile},
        {"updater_with_drive.exe", changed(0, '\x08'), damagedProfile},
    };
    for (const Case& c : cases) {
        WriteFile(dir + c.name, c.bytes);
        ToolRun run = Sfxpack({"inspect", dir + c.name});
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << c.name << ": " << run.err;
    }
    EXPECT_EQ(Sfxpack({"inspect", dir + "missing.exe"}).status, 1);
    EXPECT_EQ(Sfxpack({"inspect", dir}).status, 1);
    // A --signer that names no certificate pins nothing: refused before the launcher is read.
    ToolRun notCertificate = Sfxpack({"inspect", "--signer", dir + "text.exe", dir + "bare.exe"});
    EXPECT_EQ(notCertificate.status, 1);
    EXPECT_NE(notCertificate.err.find("text.exe is not a certificate (PEM or DER) nor a SHA-256 in hex"),
              std::string::npos) << notCertificate.err;
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
        EXPECT_NE(run.out.find("\nimage checksum: " + Hex8(ImageChecksumOf(launcher_)) + ", holds\n"), std::string::npos)
            << run.out;
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

// What osslsigncode says of each signature, in its order: a second opinion
// on the tool's own digest. It names no digest of a table it cannot read.
struct ReferenceDigest {
    std::string algorithm, stated, calculated;
};

std::vector<ReferenceDigest> OsslsigncodeDigests(const std::string& path)
{
    // It fails on a changed file and on a chain it cannot follow, and still names the digests.
    Shell("osslsigncode verify -CAfile '" SFXPACK_WORK_DIR "/certificate/certificate.pem' '" + path + "'",
          path + ".log");
    std::vector<ReferenceDigest> digests;
    std::istringstream lines(ReadFile(path + ".log"));
    for (std::string line; std::getline(lines, line);) {
        size_t colon = line.find(": ");
        std::string value = colon == std::string::npos ? "" : line.substr(colon + 2);
        value = value.substr(0, value.find(' '));
        for (char& c : value)
            c = static_cast<char>(tolower(c));
        if (line.rfind("Message digest algorithm  :", 0) == 0)
            digests.push_back({value.rfind("sha", 0) == 0 ? "SHA-" + value.substr(3) : "MD5", "", ""});
        else if (line.rfind("Current message digest", 0) == 0 && !digests.empty())
            digests.back().stated = value;
        else if (line.rfind("Calculated message digest", 0) == 0 && !digests.empty())
            digests.back().calculated = value;
    }
    return digests;
}

std::string ExpectedSignatureLine(size_t index, const ReferenceDigest& reference)
{
    std::string line = "signature " + std::to_string(index + 1) + (index > 0 ? " (nested in 1)" : "") + ": "
                       + reference.algorithm + " digest ";
    if (reference.algorithm.rfind("SHA-", 0) != 0)
        line += "not checked";
    else if (reference.stated == reference.calculated)
        line += "matches the file";
    else
        line += "does not match the file: it states " + reference.stated + ", the file's is " + reference.calculated;
    return line + "; signer: sfxpack-test\n";
}

std::string FromHex(const std::string& hex)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// bytes with the first from replaced by to, which the test asserts is there.
std::string Replaced(std::string bytes, const std::string& from, const std::string& to)
{
    size_t at = bytes.find(from);
    EXPECT_NE(at, std::string::npos);
    return at == std::string::npos ? bytes : bytes.replace(at, from.size(), to);
}

std::string WithImageChecksum(std::string bytes)
{
    return bytes.replace(ImageChecksumField(bytes), 4, Record("", ImageChecksumOf(bytes)));
}

// openssl's answer to a question about a certificate, after its "=".
std::string CertificateField(const std::string& dir, const std::string& pem, const std::string& option)
{
    Shell("openssl x509 -noout " + option + " -in '" + pem + "'", dir + "field.log");
    std::string field = ReadFile(dir + "field.log");
    field = field.substr(field.find('=') + 1);
    return field.substr(0, field.find('\n'));
}

// A launcher changed anywhere after signing, the padding before the table
// included, is refused, and so is a signature that does not hold from the
// signer's key to the file; each refusal names the check that failed.
TEST_F(SignedLauncher, EachSignaturesDigestIsCheckedAgainstTheFile)
{
    std::string dir = TestFolder();
    ASSERT_EQ(PackAndSign(dir, 4097), 7u);
    ASSERT_TRUE(SignLauncher(dir, "signed.exe", "nested.exe", "-nest -h sha1"));
    ASSERT_TRUE(SignLauncher(dir, "unsigned.exe", "sha384.exe", "-h sha384"));
    ASSERT_TRUE(SignLauncher(dir, "unsigned.exe", "md5.exe", "-h md5"));
    ASSERT_TRUE(Shell("osslsigncode add -addUnauthenticatedBlob -in '" + dir + "signed.exe' -out '" + dir + "blob.exe'",
                      dir + "blob.log"));
    size_t table = TinyStub().size() + package_.size() + 7;
    uint32_t certificate = 0, size = 0, entry = 0;
    CertificateTable(reinterpret_cast<const uint8_t*>(launcher_.data()), 4096, &certificate, &size);
    CertificateEntry(reinterpret_cast<const uint8_t*>(launcher_.data()), 4096, &entry);
    auto changed = [this](size_t at) {
        std::string bytes = launcher_;
        bytes[at] ^= 0x01;
        return bytes;
    };
    // Bytes added to the table's one entry: its length and the table's size
    // (in the directory entry) lie outside every digest.
    auto grown = [&](const std::string& added) {
        std::string bytes = launcher_ + added;
        bytes.replace(entry + 4, 4, Record("", size + 8));
        bytes.replace(certificate, 4, Record("", size + 8));
        return bytes;
    };
    std::string stated = FromHex(OsslsigncodeDigests(dir + "signed.exe").at(0).stated);
    // bytes padded as a signing tool pads them, then a table, the directory entry pointing at it.
    auto withTable = [&](std::string bytes, const std::string& added) {
        bytes += std::string((8 - bytes.size() % 8) % 8, '\0');
        bytes.replace(entry, 8, Record("", static_cast<uint32_t>(bytes.size())) + Record("", static_cast<uint32_t>(added.size())));
        return bytes + added;
    };
    // The forgery: a genuine signer's table after another package, with the
    // stored digest overwritten by the file's.
    auto forged = [&]() {
        PackInto(dir, "other.exe", package_ + "another package");
        std::string bytes = withTable(ReadFile(dir + "other.exe"), launcher_.substr(certificate, size));
        WriteFile(dir + "forged.exe", bytes);
        std::string own = FromHex(OsslsigncodeDigests(dir + "forged.exe").at(0).calculated);
        return WithImageChecksum(Replaced(bytes, stated, own));
    };
    std::string edited = stated;
    edited[5] ^= 0x01;
    // The signing time, one of the signed attributes: 1.2.840.113549.1.9.5, a SET, a UTCTime.
    const std::string kSigningTime = FromHex("2a864886f70d010905310f170d");
    std::string time = launcher_.substr(launcher_.find(kSigningTime) + kSigningTime.size(), 13);
    std::string later = time;
    later[11] = later[11] == '0' ? '1' : '0';
    // Another key under the genuine certificate's issuer and serial: signed
    // with it, then given the genuine certificate in place of its own.
    std::string genuine = SFXPACK_WORK_DIR "/certificate/certificate.pem";
    ASSERT_TRUE(Shell("mkdir -p '" + dir + "other' && openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "
                          "/CN=sfxpack-test -set_serial 0x" + CertificateField(dir, genuine, "-serial") + " -keyout '"
                          + dir + "other/key.pem' -out '" + dir + "other/certificate.pem' && openssl x509 -outform DER -in '"
                          + genuine + "' -out '" + dir + "genuine.der' && openssl x509 -outform DER -in '" + dir
                          + "other/certificate.pem' -out '" + dir + "other.der'",
                      dir + "other.log"));
    ASSERT_TRUE(SignLauncher(dir, "unsigned.exe", "another.exe", "", dir + "other"));
    // Another signer's MD5 signature, whose digest goes unchecked, around the genuine one.
    ASSERT_TRUE(SignLauncher(dir, "unsigned.exe", "md5other.exe", "-h md5", dir + "other"));
    ASSERT_TRUE(SignLauncher(dir, "md5other.exe", "wrapped.exe", "-nest"));
    std::string otherKey = Replaced(ReadFile(dir + "another.exe"), ReadFile(dir + "other.der"), ReadFile(dir + "genuine.der"));
    std::string fingerprint = CertificateField(dir, genuine, "-fingerprint -sha256");
    // The launcher's own indirect data signed by openssl cms as content of
    // this type, its content made Authenticode's SEQUENCE, as a table entry.
    const std::string kIndirectData = FromHex("060a2b060104018237020104");
    size_t indirect = launcher_.find(kIndirectData) + kIndirectData.size();
    ASSERT_EQ(launcher_.substr(indirect + 2, 1), "\x30");
    std::string octets = launcher_.substr(indirect + 4, static_cast<uint8_t>(launcher_[indirect + 3]));
    ASSERT_LT(octets.size(), 0x80u);
    WriteFile(dir + "octets.bin", octets);
    std::string length = std::string(1, static_cast<char>(octets.size()));
    const std::string kGenuineSigner = "-signer '" + genuine + "' -inkey '" SFXPACK_WORK_DIR "/certificate/key.pem'";
    auto cmsSigned = [&](const std::string& contentType, const std::string& signers) {
        EXPECT_TRUE(Shell("openssl cms -sign -binary -nodetach -nosmimecap -md sha256 -econtent_type " + contentType + " "
                              + signers + " -in '" + dir + "octets.bin' -outform DER -out '" + dir + "cms.p7'",
                          dir + "cms.log"));
        std::string der = Replaced(ReadFile(dir + "cms.p7"), "\x04" + length + octets, "\x30" + length + octets);
        der = Record("", static_cast<uint32_t>(der.size() + 8)) + FromHex("00020200") + der;
        return der + std::string((8 - der.size() % 8) % 8, '\0');
    };
    // Content of another kind the genuine key signed, relabelled as
    // Authenticode's: only its signed contentType still names the other kind.
    std::string relabelled = Replaced(cmsSigned("1.3.6.1.4.1.311.2.1.5", kGenuineSigner),
                                      FromHex("060a2b060104018237020105"), kIndirectData);
    // The genuine signer and a stranger in one PKCS#7.
    ASSERT_TRUE(Shell("openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj /CN=stranger -keyout '" + dir
                          + "stranger.key' -out '" + dir + "stranger.pem'",
                      dir + "stranger.log"));
    std::string twoSigners =
        cmsSigned("1.3.6.1.4.1.311.2.1.4", kGenuineSigner + " -signer '" + dir + "stranger.pem' -inkey '" + dir + "stranger.key'");
    const std::string kChanged = "was changed after it was signed: ";
    const std::string kContent = "the signed content of signature 1 (the file's digest) does not match its signed "
                                 "attributes' messageDigest";
    const std::string kOtherSigner = "is not signed by the certificate --signer names: signature 1 was made by the "
                                     "certificate SHA-256 ";
    struct Case {
        const char* name;
        std::string bytes;
        int signatures;  // 0: osslsigncode names no digest; -1: it passes what the tool refuses
        std::string refusal;
        std::string signer;  // --signer's argument, if any
    } cases[] = {
        {"signed.exe", launcher_, 1, "", ""},
        {"nested.exe", ReadFile(dir + "nested.exe"), 2, "", ""},
        {"sha384.exe", ReadFile(dir + "sha384.exe"), 1, "", ""},
        {"md5.exe", ReadFile(dir + "md5.exe"), 1, "is signed, but no signature has a digest sfxpack checks", ""},
        {"header.exe", changed(0x50), 1, kChanged + "the SHA-256 digest of signature 1 does not match the file", ""},
        {"package.exe", changed(table - 100), 1, "is damaged: its package has CRC-32C", ""},
        {"padding.exe", changed(table - 3), 1, kChanged + "the SHA-256 digest of signature 1 does not match the file", ""},
        {"appended.exe", launcher_ + "appended", 0, kChanged + "8 bytes follow its certificate table", ""},
        {"grown.exe", grown("appended"), -1, "bytes in its certificate table follow a signature's PKCS#7", ""},
        {"cut.exe", launcher_.substr(0, launcher_.size() - 10), 0,
         "has signatures that cannot be checked: the certificate table reaches past the end of the file", ""},
        {"forged.exe", forged(), 1, kChanged + kContent, ""},
        {"digest.exe", Replaced(launcher_, stated, edited), 1, kChanged + kContent, ""},
        {"relabelled.exe", WithImageChecksum(withTable(ReadFile(dir + "unsigned.exe"), relabelled)), 1,
         kChanged + kContent, ""},
        {"twosigners.exe", WithImageChecksum(withTable(ReadFile(dir + "unsigned.exe"), twoSigners)), -1,
         "a signature's PKCS#7 has 2 signers, where Authenticode's has one", ""},
        {"attribute.exe", WithImageChecksum(Replaced(launcher_, kSigningTime + time, kSigningTime + later)), 1,
         "is not vouched for by its signer: signature 1's signature over its signed attributes does not hold", ""},
        {"otherkey.exe", WithImageChecksum(otherKey), 1,
         "is not vouched for by its signer: signature 1's signature over its signed attributes does not hold", ""},
        {"pinned.exe", launcher_, 1, "", genuine},
        {"fingerprint.exe", launcher_, 1, "", fingerprint},
        {"another.exe", ReadFile(dir + "another.exe"), 1, kOtherSigner, genuine},
        {"wrapped.exe", ReadFile(dir + "wrapped.exe"), 2, kOtherSigner, genuine},
        {"unsigned.exe", ReadFile(dir + "unsigned.exe"), 0, "is not signed, and --signer asks for its signer", genuine},
        {"blob.exe", ReadFile(dir + "blob.exe"), 1, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(dir + c.name, c.bytes);
        std::vector<std::string> args = {"inspect", dir + c.name};
        if (!c.signer.empty())
            args = {"inspect", "--signer", c.signer, dir + c.name};
        ToolRun run = Sfxpack(args);
        EXPECT_EQ(run.status, c.refusal.empty() ? 0 : 1);
        EXPECT_EQ(run.err.empty(), c.refusal.empty()) << run.err;
        EXPECT_NE(run.err.find(c.refusal), std::string::npos) << run.err;
        if (c.signatures > 0)
            EXPECT_NE(run.out.find(c.signer.empty() ? "signer: not pinned" : "signer: pinned"), std::string::npos)
                << run.out;
        if (c.signatures < 0)
            continue;
        std::vector<ReferenceDigest> reference = OsslsigncodeDigests(dir + c.name);
        ASSERT_EQ(reference.size(), static_cast<size_t>(c.signatures)) << ReadFile(dir + c.name + ".log");
        if (c.signatures > 0)
            EXPECT_NE(run.out.find("signatures: " + std::to_string(c.signatures) + "\n"), std::string::npos);
        for (size_t i = 0; i < reference.size(); ++i)
            EXPECT_NE(run.out.find(ExpectedSignatureLine(i, reference[i])), std::string::npos) << run.out;
    }

    // The unauthenticated blob is reported where it lies, and the launcher still yields the package.
    std::string blob = ReadFile(dir + "blob.exe");
    ToolRun run = Sfxpack({"inspect", dir + "blob.exe"});
    const size_t kUtf8StringHeader = 4;
    EXPECT_NE(run.out.find("not covered by any signature: 1028 bytes at "
                           + std::to_string(blob.find("---BEGIN_BLOB---") - kUtf8StringHeader)
                           + ", unauthenticated attribute 1.3.6.1.4.1.42921.1.2.1 of signature 1\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(Sfxpack({"extract", dir + "blob.exe", dir + "blob.upd"}).status, 0);
    EXPECT_EQ(ReadFile(dir + "blob.upd"), package_);
    EXPECT_EQ(run.out.find("not covered"), run.out.rfind("not covered")) << run.out;
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
