// Inspection: the image rules, the integrity check and the header walk,
// applied in the order the launcher applies them.
#include "examine.h"

#include <stdint.h>

#include <string>
#include <vector>

#include "file_io.h"
#include "header_report.h"
#include "launcher_file.h"
#include "package/image_layout.h"
#include "signatures.h"
#include "status.h"
#include "tool_limits.h"

namespace {

// The number of signatures, or why it cannot be told. The table lies past
// the package, so it is read from the file, and only when it lies inside it.
std::string SignatureCount(LauncherFile* launcher, uint32_t certificate, uint32_t certificateSize)
{
    if (certificateSize > launcher->size || certificate > launcher->size - certificateSize)
        return "unknown, the certificate table reaches past the end of the file";
    if (certificateSize > kMaxCertificateTableSize)
        return "unknown, the certificate table is larger than " + std::to_string(kMaxCertificateTableSize) + " bytes";
    std::vector<uint8_t> table(certificateSize);
    if (!SeekTo(launcher->file, certificate) || !ReadExactly(launcher->file, table.data(), table.size()))
        return "unknown, the certificate table cannot be read";
    uint32_t count = 0;
    if (!CountSignatures(table.data(), certificateSize, &count))
        return "unknown, the certificate table is not PKCS#7 as signing tools write it";
    return std::to_string(count);
}

void PrintRecords(FILE* out, LauncherFile* file)
{
    const LauncherFile& launcher = *file;
    const uint8_t* headers = launcher.headers.data();
    uint32_t headerSize = static_cast<uint32_t>(launcher.headers.size());
    uint32_t certificate = 0, certificateSize = 0, recorded = 0, checksum = 0;
    bool isSigned = CertificateTable(headers, headerSize, &certificate, &certificateSize) != 0;
    bool hasLength = RecordedPackageLength(headers, headerSize, &recorded) != 0;
    bool hasChecksum = RecordedPackageChecksum(headers, headerSize, &checksum) != 0;
    if (isSigned) {
        fprintf(out, "signed: yes (certificate table at %u, %u bytes)\n", certificate, certificateSize);
        fprintf(out, "signatures: %s\n", SignatureCount(file, certificate, certificateSize).c_str());
    } else {
        fputs("signed: no\n", out);
    }
    if (hasLength)
        fprintf(out, "recorded package length: %u\n", recorded);
    else
        fputs("recorded package length: none\n", out);
    if (hasChecksum)
        fprintf(out, "recorded package checksum: CRC-32C %08X\n", checksum);
    else
        fputs("recorded package checksum: none\n", out);

    // What the launcher will copy besides the package, said where it happens.
    const PayloadPlan& plan = launcher.plan;
    uint32_t afterImage = launcher.size - plan.offset;
    if (!launcher.planned)
        return;
    if (hasChecksum && !hasLength)
        fputs("note: a checksum without a recorded length is not checked\n", out);
    if (plan.checked && !CertificateBoundsPackage(launcher) && afterImage > plan.length)
        fprintf(out, "note: %u bytes follow the recorded package length; the launcher leaves them out\n",
                afterImage - plan.length);
    else if (isSigned && !hasLength)
        fputs("note: without a recorded length the launcher copies the signature into the package file\n", out);
    else if (!plan.checked && isSigned && plan.length != recorded)
        fputs("note: the recorded length does not fit before the certificate table and is ignored\n", out);
    else if (!plan.checked && !isSigned && hasLength && recorded < afterImage)
        fprintf(out, "note: %u bytes follow the recorded package length; the launcher copies them too\n",
                afterImage - recorded);
    else if (!plan.checked && !isSigned && hasLength && recorded > afterImage)
        fprintf(out, "note: the payload is %u bytes shorter than the recorded package length\n",
                recorded - afterImage);
}

// The launcher checks the package before it reads the header: a damaged
// package is refused whatever its header says.
int CheckIntegrity(const char* path, LauncherFile* launcher, FILE* out, FILE* err)
{
    if (!launcher->plan.checked) {
        fputs("package unchecked: no integrity record, the launcher extracts it as it is\n", out);
        return kToolOk;
    }
    uint32_t checksum = 0;
    if (!StreamPayload(launcher, nullptr, &checksum))
        return Refuse(err, "cannot read LAUNCHER %s", path);
    if (checksum != launcher->plan.checksum)
        return Refuse(err, "LAUNCHER %s is damaged: its package has CRC-32C %08X, the record expects %08X", path,
                      checksum, launcher->plan.checksum);
    fputs("package intact\n", out);
    return kToolOk;
}

int InspectOpenLauncher(const char* path, LauncherFile* launcher, FILE* out, FILE* err)
{
    const PayloadPlan& plan = launcher->plan;
    fprintf(out, "payload offset: %u\npayload size: %u\n", plan.offset, plan.length);
    PrintRecords(out, launcher);
    if (!launcher->planned)
        return RefuseMissingPackage(path, *launcher, err);
    if (plan.length == 0)
        return Refuse(err, "LAUNCHER %s carries no package after its image", path);
    int status = CheckIntegrity(path, launcher, out, err);
    if (status != kToolOk)
        return status;
    if (!SeekTo(launcher->file, plan.offset))
        return Refuse(err, "cannot read LAUNCHER %s", path);
    HeaderReport report = WalkHeaderInFile(launcher->file, plan.length);
    if (report.result == 0)
        return Refuse(err, "LAUNCHER %s: package header damaged: %s", path, HeaderStopReason(report));
    PrintHeader(out, report);
    return kToolOk;
}

}  // namespace

int InspectLauncher(const char* launcherPath, FILE* out, FILE* err)
{
    LauncherFile launcher;
    int status = OpenLauncher(launcherPath, &launcher, err);
    if (status == kToolOk)
        status = InspectOpenLauncher(launcherPath, &launcher, out, err);
    CloseLauncher(&launcher);
    return status;
}
