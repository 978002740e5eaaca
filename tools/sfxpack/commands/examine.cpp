// Inspection: the image rules, the integrity check and the header walk,
// applied in the order the launcher applies them.
#include "commands/examine.h"

#include <stdint.h>

#include <string>
#include <vector>

#include "commands/branding.h"
#include "files/checked_copy.h"
#include "files/header_report.h"
#include "files/launcher_file.h"
#include "image/image_checksum.h"
#include "package/image_layout.h"
#include "platform/file_io.h"
#include "signing/signature_check.h"
#include "status/status.h"

namespace {

// The records and signature as the image holds them.
struct Records {
    bool isSigned;
    uint32_t certificate, certificateSize;
    bool hasLength;
    uint32_t length;
    bool hasChecksum;
    uint32_t checksum;
};

Records ReadRecords(const LauncherFile& launcher)
{
    const uint8_t* headers = launcher.headers.data();
    uint32_t headerSize = static_cast<uint32_t>(launcher.headers.size());
    Records records = {};
    records.isSigned = CertificateTable(headers, headerSize, &records.certificate, &records.certificateSize) != 0;
    records.hasLength = RecordedPackageLength(headers, headerSize, &records.length) != 0;
    records.hasChecksum = RecordedPackageChecksum(headers, headerSize, &records.checksum) != 0;
    return records;
}

// Whether the image checksum holds for the whole file, as signing tools and
// scanners compute it: the headers as read with the field counted as zero,
// then every byte after them, in a pass of its own.
void PrintImageChecksum(FILE* out, LauncherFile* launcher)
{
    std::vector<uint8_t> headers = launcher->headers;
    uint32_t field = 0;
    if (!ImageChecksumField(headers.data(), headers.size(), &field)) {
        fputs("image checksum: none, the optional header holds no CheckSum field\n", out);
        return;
    }
    uint32_t stored = ReadImageChecksum(headers.data(), field);
    WriteImageChecksum(headers.data(), field, 0);
    ImageSum sum = {0, 0};
    AddToImageSum(&sum, headers.data(), headers.size());
    uint32_t crc = 0;  // taken on the way, not needed here
    if (!SeekTo(launcher->file, headers.size())
        || CopyWithChecksum(launcher->file, launcher->size - headers.size(), nullptr, &crc, &sum) != kCopyDone) {
        fprintf(out, "image checksum: %08X, unknown, the file cannot be read\n", stored);
        return;
    }
    uint32_t computed = FoldImageChecksum(sum.words, sum.end);
    if (computed == stored)
        fprintf(out, "image checksum: %08X, holds\n", stored);
    else
        fprintf(out, "image checksum: %08X, does not hold: the file's is %08X\n", stored, computed);
}

// The records, and why the signatures refuse the launcher, if they do.
std::string PrintRecords(FILE* out, LauncherFile* launcher, const Records& records, const SignerPin& pin)
{
    std::string signatureProblem;
    if (records.isSigned) {
        fprintf(out, "signed: yes (certificate table at %u, %u bytes)\n", records.certificate, records.certificateSize);
        signatureProblem = CheckSignatures(launcher, records.certificate, records.certificateSize, pin, out);
    } else {
        fputs("signed: no\n", out);
        if (!pin.fingerprint.empty())
            signatureProblem = "is not signed, and --signer asks for its signer";
    }
    PrintImageChecksum(out, launcher);
    if (records.hasLength)
        fprintf(out, "recorded package length: %u\n", records.length);
    else
        fputs("recorded package length: none\n", out);
    if (records.hasChecksum)
        fprintf(out, "recorded package checksum: CRC-32C %08X\n", records.checksum);
    else
        fputs("recorded package checksum: none\n", out);
    return signatureProblem;
}

// What the launcher will copy besides the package, or leave out, said where it happens.
void PrintNotes(FILE* out, const LauncherFile& launcher, const Records& records)
{
    const PayloadPlan& plan = launcher.plan;
    uint32_t afterImage = launcher.size - plan.offset;
    if (records.hasChecksum && !records.hasLength)
        fputs("note: a checksum without a recorded length is not checked\n", out);
    if (plan.checked && !CertificateBoundsPackage(launcher) && afterImage > plan.length)
        fprintf(out, "note: %u bytes follow the recorded package length; the launcher leaves them out\n",
                afterImage - plan.length);
    else if (records.isSigned && !records.hasLength)
        fputs("note: without a recorded length the launcher copies the signature into the package file\n", out);
    else if (!plan.checked && records.isSigned && plan.length != records.length)
        fputs("note: the recorded length does not fit before the certificate table and is ignored\n", out);
    else if (!plan.checked && !records.isSigned && records.hasLength && records.length < afterImage)
        fprintf(out, "note: %u bytes follow the recorded package length; the launcher copies them too\n",
                afterImage - records.length);
    else if (!plan.checked && !records.isSigned && records.hasLength && records.length > afterImage)
        fprintf(out, "note: the payload is %u bytes shorter than the recorded package length\n",
                records.length - afterImage);
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
    if (StreamPayload(launcher, nullptr, &checksum) != kCopyDone)
        return Refuse(err, "cannot read LAUNCHER %s: %s", path, FileFailure(launcher->file).c_str());
    if (checksum != launcher->plan.checksum)
        return Refuse(err, "LAUNCHER %s is damaged: its package has CRC-32C %08X, the record expects %08X", path,
                      checksum, launcher->plan.checksum);
    fputs("package intact\n", out);
    return kToolOk;
}

int InspectOpenLauncher(const char* path, LauncherFile* launcher, const SignerPin& pin, FILE* out, FILE* err)
{
    const PayloadPlan& plan = launcher->plan;
    fprintf(out, "payload offset: %u\npayload size: %u\n", plan.offset, plan.length);
    Records records = ReadRecords(*launcher);
    // A launcher changed after signing is told after everything else, which
    // says where the change lies.
    std::string signatureProblem = PrintRecords(out, launcher, records, pin);
    std::string profileProblem = PrintBranding(out, launcher->file, launcher->size, launcher->headers);
    if (!launcher->planned)
        return RefuseMissingPackage(path, *launcher, err);
    PrintNotes(out, *launcher, records);
    if (plan.length == 0)
        return Refuse(err, "LAUNCHER %s carries no package after its image", path);
    int status = CheckIntegrity(path, launcher, out, err);
    if (status != kToolOk)
        return status;
    HeaderReport report = {};
    status = WalkPayloadHeader(path, launcher, &report, err);
    if (status != kToolOk)
        return status;
    if (report.result == 0)
        return Refuse(err, "LAUNCHER %s: package header damaged: %s", path, HeaderStopReason(report));
    PrintHeader(out, report);
    if (!signatureProblem.empty())
        return Refuse(err, "LAUNCHER %s %s", path, signatureProblem.c_str());
    if (!profileProblem.empty())
        return Refuse(err, "LAUNCHER %s %s", path, profileProblem.c_str());
    return kToolOk;
}

}  // namespace

int InspectLauncher(const char* launcherPath, const char* signer, FILE* out, FILE* err)
{
    SignerPin pin;
    std::string problem = signer != nullptr ? ReadSignerPin(signer, &pin) : std::string();
    if (!problem.empty())
        return Refuse(err, "%s", problem.c_str());
    LauncherFile launcher;
    int status = OpenLauncher(launcherPath, &launcher, err);
    if (status == kToolOk)
        status = InspectOpenLauncher(launcherPath, &launcher, pin, out, err);
    CloseLauncher(&launcher);
    return status;
}
