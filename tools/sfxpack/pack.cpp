// Packing: stub checks, the package header check, and the one atomic write.
#include "pack.h"

#include <string>
#include <vector>

#include "checked_copy.h"
#include "file_io.h"
#include "header_report.h"
#include "image_bytes.h"
#include "package/image_layout.h"
#include "status.h"
#include "tool_limits.h"

namespace {

// The stub must end where its image ends: the launcher takes every byte after
// the image for the package.
int CheckStub(const char* stubPath, const std::vector<uint8_t>& stub, FILE* err)
{
    uint32_t size = static_cast<uint32_t>(stub.size());
    uint32_t offset = 0;
    if (!PayloadOffset(stub.data(), ImageHeaderBytes(size), &offset))
        return Refuse(err, "STUB %s is not a PE image, or its headers are damaged", stubPath);
    uint32_t certificate, certificateSize;
    if (CertificateTable(stub.data(), ImageHeaderBytes(size), &certificate, &certificateSize))
        return Refuse(err, "STUB %s is signed; sign the packed launcher, not the stub", stubPath);
    if (offset < size)
        return Refuse(err,
                      "STUB %s has %u bytes after its image (a symbol table or appended data); the launcher "
                      "would take them for the package",
                      stubPath, size - offset);
    if (offset > size)
        return Refuse(err, "STUB %s is truncated: its image ends at byte %u but the file has %u bytes", stubPath,
                      offset, size);
    if (!NewHeaderClearsRecord(stub.data()))
        return Refuse(err, "STUB %s has its PE header inside the DOS header, where the package length goes",
                      stubPath);
    return kToolOk;
}

// The checksum is known only once the package has been copied: its record
// goes into the stub's copy afterwards, in place.
bool WriteChecksumRecord(std::vector<uint8_t>* stub, uint32_t checksum, FILE* output)
{
    RecordPackageChecksum(stub->data(), checksum);
    return SeekTo(output, kPackageChecksumRecord)
           && WriteAll(output, stub->data() + kPackageChecksumRecord, kPackageChecksumRecordSize);
}

int WriteLauncher(std::vector<uint8_t>* stub, FILE* package, uint64_t packageSize, const char* packagePath,
                  const char* outputPath, uint32_t* checksum, FILE* err)
{
    if (!SeekTo(package, 0))
        return Refuse(err, "cannot read PACKAGE %s again", packagePath);
    // Only the copy carries the records: the stub on disk is never changed.
    RecordPackageLength(stub->data(), static_cast<uint32_t>(packageSize));
    AtomicOutput output;
    std::string error;
    if (!BeginAtomicOutput(outputPath, &output, &error))
        return Refuse(err, "cannot write OUTPUT %s: %s", outputPath, error.c_str());
    if (!WriteAll(output.file, stub->data(), stub->size()) || !CopyWithChecksum(package, packageSize, output.file, checksum)
        || !WriteChecksumRecord(stub, *checksum, output.file)) {
        AbandonAtomicOutput(&output);
        return Refuse(err, "cannot write OUTPUT %s: writing or reading PACKAGE %s failed", outputPath, packagePath);
    }
    if (!CommitAtomicOutput(&output, &error))
        return Refuse(err, "cannot write OUTPUT %s: %s", outputPath, error.c_str());
    return kToolOk;
}

int PackWithPackage(std::vector<uint8_t>* stub, FILE* package, uint64_t packageSize, const char* packagePath,
                    const char* outputPath, FILE* out, FILE* err)
{
    if (!LauncherSizeFits(stub->size(), packageSize))
        return Refuse(err, "PACKAGE %s would make a launcher of 4 GiB or more, which the launcher cannot read",
                      packagePath);
    HeaderReport report = WalkHeaderInFile(package, packageSize);
    if (report.result == 0)
        return Refuse(err, "PACKAGE %s has a damaged header (%s); every launcher would reject it", packagePath,
                      HeaderStopReason(report));
    PrintHeader(out, report);
    uint32_t checksum = 0;
    int status = WriteLauncher(stub, package, packageSize, packagePath, outputPath, &checksum, err);
    if (status == kToolOk)
        fprintf(out, "wrote %s: image %u bytes, package %u bytes, CRC-32C %08X\n", outputPath,
                static_cast<uint32_t>(stub->size()), static_cast<uint32_t>(packageSize), checksum);
    return status;
}

}  // namespace

bool LauncherSizeFits(uint64_t stubSize, uint64_t packageSize)
{
    return stubSize <= kMaxLauncherSize && packageSize <= kMaxLauncherSize - stubSize;
}

int PackLauncher(const char* stubPath, const char* packagePath, const char* outputPath, FILE* out, FILE* err)
{
    // The rename would put the launcher in the place of an input.
    if (SameFile(outputPath, stubPath) || SameFile(outputPath, packagePath))
        return Refuse(err, "OUTPUT %s is one of the input files, which are never overwritten", outputPath);
    std::vector<uint8_t> stub;
    std::string error;
    if (!ReadWholeFile(stubPath, kMaxWholeFileSize, &stub, &error))
        return Refuse(err, "cannot read STUB %s: %s", stubPath, error.c_str());
    int status = CheckStub(stubPath, stub, err);
    if (status != kToolOk)
        return status;
    uint64_t packageSize = 0;
    FILE* package = OpenInput(packagePath, &packageSize, &error);
    if (package == nullptr)
        return Refuse(err, "cannot read PACKAGE %s: %s", packagePath, error.c_str());
    status = PackWithPackage(&stub, package, packageSize, packagePath, outputPath, out, err);
    fclose(package);
    return status;
}
