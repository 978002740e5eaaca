#include "package/image_layout.h"

#include <gtest/gtest.h>

#include <vector>

#include "pe_builder.h"

namespace {

const uint8_t* Bytes(const std::string& s)
{
    return reinterpret_cast<const uint8_t*>(s.data());
}

uint32_t Size(const std::string& s)
{
    return static_cast<uint32_t>(s.size());
}

int OffsetOf(const std::string& headers, uint32_t* offset)
{
    return PayloadOffset(Bytes(headers), Size(headers), offset);
}

int CertificateOf(const std::string& headers, uint32_t* offset, uint32_t* length)
{
    return CertificateTable(Bytes(headers), Size(headers), offset, length);
}

TEST(PayloadOffset, IsHeaderSizePlusEveryRawSize)
{
    uint32_t offset = 0;
    std::string image = PeBuilder().HeaderSize(0x400).Sections({0x200, 0, 0x600}).Image();
    ASSERT_EQ(OffsetOf(image, &offset), 1);
    EXPECT_EQ(offset, 0xC00u);
    EXPECT_EQ(offset, image.size());

    std::string plus = PeBuilder().Pe32Plus().HeaderSize(0x200).Sections({0x400}).Headers();
    ASSERT_EQ(OffsetOf(plus, &offset), 1);
    EXPECT_EQ(offset, 0x600u);
}

// The launcher reads only its in-memory headers, so the headers must suffice,
// and a header cut short must never be read past its end.
TEST(PayloadOffset, RefusesHeadersCutBeforeTheSectionTableEnds)
{
    PeBuilder builder;
    builder.Sections({0x200, 0x200, 0x200});
    std::string headers = builder.Headers();
    for (uint32_t n = 0; n <= builder.SectionTableEnd(); ++n) {
        std::vector<uint8_t> cut(headers.begin(), headers.begin() + n);
        uint32_t offset = 0;
        EXPECT_EQ(PayloadOffset(cut.data(), n, &offset), n == builder.SectionTableEnd() ? 1 : 0) << "cut at " << n;
    }
}

TEST(PayloadOffset, RefusesMalformedHeaders)
{
    uint32_t offset = 0;
    std::string good = PeBuilder().Headers();

    std::string noMz = good;
    noMz[1] = 'X';
    EXPECT_EQ(OffsetOf(noMz, &offset), 0);

    std::string noSignature = good;
    noSignature[PeBuilder::kNewHeaderOffset + 1] = 'X';
    EXPECT_EQ(OffsetOf(noSignature, &offset), 0);

    // A new-header offset near 4 GiB must not wrap around into the buffer.
    std::string farHeader = good;
    PeBuilder::Put32(&farHeader, 0x3C, 0xFFFFFFF0u);
    EXPECT_EQ(OffsetOf(farHeader, &offset), 0);

    EXPECT_EQ(OffsetOf(PeBuilder().OptionalHeaderSize(63).Headers(), &offset), 0);

    std::string manySections = good;
    PeBuilder::Put16(&manySections, PeBuilder::kNewHeaderOffset + 6, 0xFFFF);
    EXPECT_EQ(OffsetOf(manySections, &offset), 0);
}

TEST(PayloadOffset, RefusesAnEndBeyondFourGigabytes)
{
    uint32_t offset = 0;
    EXPECT_EQ(OffsetOf(PeBuilder().HeaderSize(0xFFFFFE00u).Sections({0x1FF}).Headers(), &offset), 1);
    EXPECT_EQ(offset, 0xFFFFFFFFu);
    EXPECT_EQ(OffsetOf(PeBuilder().HeaderSize(0xFFFFFE00u).Sections({0x100, 0x100}).Headers(), &offset), 0);
}

TEST(CertificateTable, ReadsTheSecurityDirectoryOfBothFormats)
{
    uint32_t offset = 0, length = 0;
    EXPECT_EQ(CertificateOf(PeBuilder().Headers(), &offset, &length), 0);

    ASSERT_EQ(CertificateOf(PeBuilder().Certificate(0x1000, 0x5A8).Headers(), &offset, &length), 1);
    EXPECT_EQ(offset, 0x1000u);
    EXPECT_EQ(length, 0x5A8u);

    ASSERT_EQ(CertificateOf(PeBuilder().Pe32Plus().Certificate(0x2008, 0x300).Headers(), &offset, &length), 1);
    EXPECT_EQ(offset, 0x2008u);
    EXPECT_EQ(length, 0x300u);
}

TEST(CertificateTable, IgnoresAnEntryTheHeaderDoesNotDeclare)
{
    uint32_t offset = 0, length = 0;
    PeBuilder signedImage;
    signedImage.Certificate(0x1000, 0x100);
    std::string headers = signedImage.Headers();

    std::string fourDirectories = headers;
    PeBuilder::Put32(&fourDirectories, signedImage.OptionalOffset() + 92, 4);
    EXPECT_EQ(CertificateOf(fourDirectories, &offset, &length), 0);

    // The security entry occupies bytes 128 to 135 of a PE32 optional header.
    EXPECT_EQ(CertificateOf(PeBuilder().Certificate(0x1000, 0x100).OptionalHeaderSize(135).Headers(), &offset, &length),
              0);
    EXPECT_EQ(CertificateOf(PeBuilder().Certificate(0x1000, 0x100).OptionalHeaderSize(136).Headers(), &offset, &length),
              1);

    std::string unknownMagic = headers;
    PeBuilder::Put16(&unknownMagic, signedImage.OptionalOffset(), 0x107);
    EXPECT_EQ(CertificateOf(unknownMagic, &offset, &length), 0);

    EXPECT_EQ(CertificateOf(PeBuilder().Certificate(0, 0x100).Headers(), &offset, &length), 0);
    EXPECT_EQ(CertificateOf(PeBuilder().Certificate(0x1000, 0).Headers(), &offset, &length), 0);
}

TEST(PackageLengthRecord, ChangesOnlyTheReservedWordsAndReadsBack)
{
    std::string original = PeBuilder().Sections({0x200, 0x400}).Headers();
    std::string recorded = original;
    RecordPackageLength(reinterpret_cast<uint8_t*>(&recorded[0]), 0x04030201u);

    EXPECT_EQ(recorded.substr(0x28, 8), std::string("PKLN\x01\x02\x03\x04", 8));
    EXPECT_EQ(recorded.substr(0, 0x28), original.substr(0, 0x28));
    EXPECT_EQ(recorded.substr(0x30), original.substr(0x30));

    uint32_t length = 0, before = 0, after = 0;
    ASSERT_EQ(RecordedPackageLength(Bytes(recorded), Size(recorded), &length), 1);
    EXPECT_EQ(length, 0x04030201u);
    ASSERT_EQ(OffsetOf(original, &before), 1);
    ASSERT_EQ(OffsetOf(recorded, &after), 1);
    EXPECT_EQ(after, before);
}

TEST(PackageLengthRecord, NeedsTheTagAndTheWholeRecord)
{
    uint32_t length = 0;
    std::string headers = PeBuilder().Headers();
    EXPECT_EQ(RecordedPackageLength(Bytes(headers), Size(headers), &length), 0);

    RecordPackageLength(reinterpret_cast<uint8_t*>(&headers[0]), 7);
    headers[0x2B] = 'M';
    EXPECT_EQ(RecordedPackageLength(Bytes(headers), Size(headers), &length), 0);

    headers[0x2B] = 'N';
    std::vector<uint8_t> shortOne(headers.begin(), headers.begin() + 0x2F);
    EXPECT_EQ(RecordedPackageLength(shortOne.data(), 0x2F, &length), 0);
    std::vector<uint8_t> exact(headers.begin(), headers.begin() + 0x30);
    EXPECT_EQ(RecordedPackageLength(exact.data(), 0x30, &length), 1);
    EXPECT_EQ(length, 7u);
}

// A launcher as a signing tool leaves it: image, package, zero padding to a
// multiple of 8, then the certificate table.
struct Launcher {
    std::string headers;
    uint32_t offset;
    uint32_t fileSize;
};

const uint32_t kCertificateSize = 0x5A8;

Launcher SignedLauncher(uint32_t packageLength, bool record)
{
    PeBuilder builder;
    uint32_t offset = Size(builder.Image());
    uint32_t certificate = (offset + packageLength + 7) / 8 * 8;
    Launcher l = {builder.Certificate(certificate, kCertificateSize).Headers(), offset, certificate + kCertificateSize};
    if (record)
        RecordPackageLength(reinterpret_cast<uint8_t*>(&l.headers[0]), packageLength);
    return l;
}

uint32_t LengthOf(const Launcher& l)
{
    uint32_t length = 0xDEADBEEF;
    EXPECT_EQ(PayloadLength(Bytes(l.headers), Size(l.headers), l.offset, l.fileSize, &length), 1);
    return length;
}

TEST(PayloadLength, SignedLauncherWithRecordYieldsExactlyThePackage)
{
    // 0x1000 needs no padding before the certificate; 0x1001 needs 7 bytes.
    EXPECT_EQ(LengthOf(SignedLauncher(0x1000, true)), 0x1000u);
    EXPECT_EQ(LengthOf(SignedLauncher(0x1001, true)), 0x1001u);
    EXPECT_EQ(LengthOf(SignedLauncher(0, true)), 0u);
}

TEST(PayloadLength, KeepsTheWholeFileRuleOtherwise)
{
    Launcher unsignedWithRecord = {PeBuilder().Headers(), 0x800, 0x1801};
    RecordPackageLength(reinterpret_cast<uint8_t*>(&unsignedWithRecord.headers[0]), 0x10);
    EXPECT_EQ(LengthOf(unsignedWithRecord), 0x1001u);

    Launcher noRecord = SignedLauncher(0x1001, false);
    EXPECT_EQ(LengthOf(noRecord), noRecord.fileSize - noRecord.offset);

    Launcher tooLong = SignedLauncher(0x1001, false);
    RecordPackageLength(reinterpret_cast<uint8_t*>(&tooLong.headers[0]), 0x1009);
    EXPECT_EQ(LengthOf(tooLong), tooLong.fileSize - tooLong.offset);

    Launcher certificateInsideImage = SignedLauncher(0x10, true);
    certificateInsideImage.offset = certificateInsideImage.fileSize - 1;
    EXPECT_EQ(LengthOf(certificateInsideImage), 1u);
}

// A certificate offset past the end of the file must not let the record
// claim bytes the file does not have.
TEST(PayloadLength, NeverReachesPastTheEndOfTheFile)
{
    Launcher l = SignedLauncher(0x1000, false);
    uint32_t directory = PeBuilder().OptionalOffset() + 128;
    PeBuilder::Put32(&l.headers, directory, 0x100000);
    RecordPackageLength(reinterpret_cast<uint8_t*>(&l.headers[0]), 0x80000);
    EXPECT_EQ(LengthOf(l), l.fileSize - l.offset);

    uint32_t length = 0;
    EXPECT_EQ(PayloadLength(Bytes(l.headers), Size(l.headers), l.offset, l.offset - 1, &length), 0);
    Launcher empty = {PeBuilder().Headers(), 0x800, 0x800};
    EXPECT_EQ(LengthOf(empty), 0u);
}

// The integrity record makes the recorded length the package, in a signed
// file or not; a file that ends before it is refused and says by how much.
TEST(PlanPayload, ChecksumRecordHoldsThePackageToItsRecordedLength)
{
    Launcher signedOne = SignedLauncher(0x1001, true);
    RecordPackageChecksum(reinterpret_cast<uint8_t*>(&signedOne.headers[0]), 0xCAFEF00Du);
    PayloadPlan plan;
    ASSERT_EQ(PlanPayload(Bytes(signedOne.headers), Size(signedOne.headers), signedOne.fileSize, &plan), 1);
    EXPECT_EQ(plan.offset, signedOne.offset);
    EXPECT_EQ(plan.length, 0x1001u);
    EXPECT_EQ(plan.checked, 1);
    EXPECT_EQ(plan.checksum, 0xCAFEF00Du);

    // Cut inside the package: the certificate table the header names is gone.
    ASSERT_EQ(PlanPayload(Bytes(signedOne.headers), Size(signedOne.headers), signedOne.offset + 0x1000, &plan), 0);
    EXPECT_EQ(plan.missing, 1u);

    // Unsigned, with bytes after the package: they are not the package.
    Launcher unsignedOne = {PeBuilder().Headers(), 0x800, 0x800 + 0x20};
    RecordPackageLength(reinterpret_cast<uint8_t*>(&unsignedOne.headers[0]), 0x10);
    RecordPackageChecksum(reinterpret_cast<uint8_t*>(&unsignedOne.headers[0]), 1);
    ASSERT_EQ(PlanPayload(Bytes(unsignedOne.headers), Size(unsignedOne.headers), unsignedOne.fileSize, &plan), 1);
    EXPECT_EQ(plan.length, 0x10u);
    ASSERT_EQ(PlanPayload(Bytes(unsignedOne.headers), Size(unsignedOne.headers), 0x800 + 0xC, &plan), 0);
    EXPECT_EQ(plan.missing, 4u);
}

TEST(PlanPayload, WithoutBothRecordsKeepsTheLengthRule)
{
    Launcher lengthOnly = SignedLauncher(0x1001, true);
    PayloadPlan plan;
    ASSERT_EQ(PlanPayload(Bytes(lengthOnly.headers), Size(lengthOnly.headers), lengthOnly.fileSize, &plan), 1);
    EXPECT_EQ(plan.checked, 0);
    EXPECT_EQ(plan.length, 0x1001u);

    Launcher checksumOnly = {PeBuilder().Headers(), 0x800, 0x900};
    RecordPackageChecksum(reinterpret_cast<uint8_t*>(&checksumOnly.headers[0]), 1);
    ASSERT_EQ(PlanPayload(Bytes(checksumOnly.headers), Size(checksumOnly.headers), checksumOnly.fileSize, &plan), 1);
    EXPECT_EQ(plan.checked, 0);
    EXPECT_EQ(plan.length, 0x100u);
    EXPECT_EQ(PlanPayload(Bytes(checksumOnly.headers), Size(checksumOnly.headers), 0x7FF, &plan), 0);

    // The records sit side by side and leave the new-header offset alone.
    std::string headers = PeBuilder().Headers();
    RecordPackageLength(reinterpret_cast<uint8_t*>(&headers[0]), 0x04030201u);
    RecordPackageChecksum(reinterpret_cast<uint8_t*>(&headers[0]), 0x08070605u);
    EXPECT_EQ(headers.substr(0x28, 16), std::string("PKLN\x01\x02\x03\x04PKCC\x05\x06\x07\x08", 16));
    EXPECT_EQ(headers.substr(0x38), PeBuilder().Headers().substr(0x38));
}

}  // namespace
