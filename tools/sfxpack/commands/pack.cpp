// Packing: stub checks, the package header check, and the one atomic write.
#include "commands/pack.h"

#include <string>
#include <vector>

#include "commands/embedded_stub.h"
#include "files/checked_copy.h"
#include "files/header_report.h"
#include "files/tool_limits.h"
#include "image/image_bytes.h"
#include "image/image_checksum.h"
#include "package/image_layout.h"
#include "package/version.h"
#include "platform/file_io.h"
#include "selection/version_gate.h"
#include "status/status.h"

namespace {

// The stub must end where its image ends: the launcher takes every byte after
// the image for the package. stubName says which stub, for the refusal.
int CheckStub(const std::string& stubName, const std::vector<uint8_t>& stub, FILE* err)
{
    const char* name = stubName.c_str();
    uint32_t size = static_cast<uint32_t>(stub.size());
    uint32_t offset = 0;
    if (!PayloadOffset(stub.data(), ImageHeaderBytes(size), &offset))
        return Refuse(err, "%s is not a PE image, or its headers are damaged", name);
    uint32_t certificate, certificateSize;
    if (CertificateTable(stub.data(), ImageHeaderBytes(size), &certificate, &certificateSize))
        return Refuse(err, "%s is signed; sign the packed launcher, not the stub", name);
    if (offset < size)
        return Refuse(err,
                      "%s has %u bytes after its image (a symbol table or appended data); the launcher "
                      "would take them for the package",
                      name, size - offset);
    if (offset > size)
        return Refuse(err, "%s is truncated: its image ends at byte %u but the file has %u bytes", name, offset, size);
    if (!NewHeaderClearsRecord(stub.data()))
        return Refuse(err, "%s has its PE header inside the DOS header, where the package records go", name);
    return kToolOk;
}

// The CRC-32C and the image checksum of the whole launcher are known only
// once the package has been copied: they go into the stub's copy afterwards,
// and its headers are written again in place. A stub whose optional header
// holds no CheckSum field keeps what it has.
bool WriteChecksums(std::vector<uint8_t>* stub, uint32_t checksum, const ImageSum& packageSum, FILE* output)
{
    uint8_t* headers = stub->data();
    RecordPackageChecksum(headers, checksum);
    uint32_t field = 0;
    uint32_t rewritten = kPackageChecksumRecord + kPackageChecksumRecordSize;
    if (ImageChecksumField(headers, ImageHeaderBytes(static_cast<uint32_t>(stub->size())), &field)) {
        WriteImageChecksum(headers, field, 0);
        ImageSum stubSum = {0, 0};
        AddToImageSum(&stubSum, headers, stub->size());
        WriteImageChecksum(headers, field, FoldImageChecksum(stubSum.words + packageSum.words, packageSum.end));
        rewritten = field + 4;
    }
    return SeekTo(output, 0) && WriteAll(output, headers, rewritten);
}

int WriteLauncher(std::vector<uint8_t>* stub, FILE* package, uint64_t packageSize, const char* packagePath,
                  const char* outputPath, uint32_t* checksum, FILE* err)
{
    if (!SeekTo(package, 0))
        return Refuse(err, "cannot read PACKAGE %s: %s", packagePath, FileFailure(package).c_str());
    // Only the copy carries the records: the stub on disk is never changed.
    RecordPackageLength(stub->data(), static_cast<uint32_t>(packageSize));
    AtomicOutput output;
    std::string error;
    if (!BeginAtomicOutput(outputPath, &output, &error))
        return Refuse(err, "cannot write OUTPUT %s: %s", outputPath, error.c_str());
    // The package's words lie after the stub's.
    ImageSum packageSum = {0, stub->size()};
    CopyResult copied = kCopyWriteFailed;
    if (WriteAll(output.file, stub->data(), stub->size()))
        copied = CopyWithChecksum(package, packageSize, output.file, checksum, &packageSum);
    if (copied == kCopyDone && !WriteChecksums(stub, *checksum, packageSum, output.file))
        copied = kCopyWriteFailed;
    if (copied != kCopyDone) {
        int status = RefuseCopy(err, copied, "PACKAGE", packagePath, package, output);
        AbandonAtomicOutput(&output);
        return status;
    }
    if (!CommitAtomicOutput(&output, &error))
        return Refuse(err, "cannot write OUTPUT %s: %s", outputPath, error.c_str());
    return kToolOk;
}

// What the launcher accepts but cannot do as its publisher meant, said
// before the copy, which may take a while.
void WarnOfSurprises(const HeaderReport& report, uint64_t launcherSize, FILE* err)
{
    const PackageHeader& header = report.header;
    // The chooser's range holds the keys from the source up to, not including, the target.
    if (header.hasFormatType && header.formatType == kFormatRange
        && VersionKey(header.source) >= VersionKey(header.target))
        Warn(err,
             "format type 2, but the launcher does not rank source version " VERSION_DISPLAY_FORMAT
             " below target version " VERSION_DISPLAY_FORMAT " (version keys %d and %d): only an installation of "
             "exactly " VERSION_DISPLAY_FORMAT " takes this package",
             header.source.major, header.source.minor, header.source.build, header.target.major,
             header.target.minor, header.target.build, VersionKey(header.source), VersionKey(header.target),
             header.source.major, header.source.minor, header.source.build);
    if (SignatureMayNotFit(launcherSize))
        Warn(err, "the launcher will be %llu bytes, within 1 MiB of 4 GiB: once signed it may be larger than the "
                  "launcher can read",
             static_cast<unsigned long long>(launcherSize));
}

int PackWithPackage(const std::string& stubName, std::vector<uint8_t>* stub, FILE* package, uint64_t packageSize,
                    const char* packagePath, const char* outputPath, const Branding& branding, FILE* out, FILE* err)
{
    HeaderReport report = WalkHeaderInFile(package, packageSize);
    if (!report.readFailure.empty())
        return Refuse(err, "cannot read PACKAGE %s: %s", packagePath, report.readFailure.c_str());
    if (report.result == 0)
        return Refuse(err, "PACKAGE %s has a damaged header (%s); every launcher would reject it", packagePath,
                      HeaderStopReason(report));
    // Branding needs the target version and changes the image's size.
    if (IsBranded(branding)) {
        int status = BrandStub(stubName, stub, branding, report.header.target, err);
        if (status != kToolOk)
            return status;
    }
    if (!LauncherSizeFits(stub->size(), packageSize))
        return Refuse(err, "PACKAGE %s would make a launcher of 4 GiB or more, which the launcher cannot read",
                      packagePath);
    PrintHeader(out, report);
    WarnOfSurprises(report, stub->size() + packageSize, err);
    uint32_t checksum = 0;
    int status = WriteLauncher(stub, package, packageSize, packagePath, outputPath, &checksum, err);
    if (status == kToolOk)
        fprintf(out, "wrote %s: image %u bytes, package %u bytes, CRC-32C %08X\n", outputPath,
                static_cast<uint32_t>(stub->size()), static_cast<uint32_t>(packageSize), checksum);
    return status;
}

// Checks the stub, then packs PACKAGE onto it.
int PackOnto(const std::string& stubName, std::vector<uint8_t>* stub, const char* packagePath, const char* outputPath,
             const Branding& branding, FILE* out, FILE* err)
{
    int status = CheckStub(stubName, *stub, err);
    if (status != kToolOk)
        return status;
    uint64_t packageSize = 0;
    std::string error;
    FILE* package = OpenInput(packagePath, &packageSize, &error);
    if (package == nullptr)
        return Refuse(err, "cannot read PACKAGE %s: %s", packagePath, error.c_str());
    status = PackWithPackage(stubName, stub, package, packageSize, packagePath, outputPath, branding, out, err);
    fclose(package);
    return status;
}

}  // namespace

bool LauncherSizeFits(uint64_t stubSize, uint64_t packageSize)
{
    return stubSize <= kMaxLauncherSize && packageSize <= kMaxLauncherSize - stubSize;
}

bool SignatureMayNotFit(uint64_t launcherSize)
{
    return launcherSize > kMaxLauncherSize - kSignatureRoom;
}

int PackLauncher(const char* stubPath, const char* packagePath, const char* outputPath, const Branding& branding,
                 FILE* out, FILE* err)
{
    // The rename would put the launcher in the place of an input.
    if (SameFile(outputPath, stubPath) || SameFile(outputPath, packagePath))
        return Refuse(err, "OUTPUT %s is one of the input files, which are never overwritten", outputPath);
    std::vector<uint8_t> stub;
    std::string error;
    if (!ReadWholeFile(stubPath, kMaxWholeFileSize, &stub, &error))
        return Refuse(err, "cannot read STUB %s: %s", stubPath, error.c_str());
    return PackOnto(std::string("STUB ") + stubPath, &stub, packagePath, outputPath, branding, out, err);
}

int PackWithEmbeddedStub(const char* packagePath, const char* outputPath, const Branding& branding, FILE* out,
                         FILE* err)
{
    if (SameFile(outputPath, packagePath))
        return Refuse(err, "OUTPUT %s is the input file, which is never overwritten", outputPath);
    // A copy: the records go into the launcher's stub, never into the tool's.
    std::vector<uint8_t> stub(kEmbeddedStub, kEmbeddedStub + kEmbeddedStubSize);
    return PackOnto("the embedded stub", &stub, packagePath, outputPath, branding, out, err);
}
