// Extraction: the launcher's plan and checks, then one atomic write, so
// OUTPUT exists only when the launcher would have handed the same bytes on.
#include "commands/extract.h"

#include <string>

#include "files/header_report.h"
#include "files/launcher_file.h"
#include "platform/file_io.h"
#include "status/status.h"

namespace {

// The checks come in the launcher's order: the checksum while the package is
// copied, then the header of what was copied.
int CopyPackage(const char* path, LauncherFile* launcher, AtomicOutput* output, uint32_t* checksum, FILE* err)
{
    const PayloadPlan& plan = launcher->plan;
    CopyResult copied = StreamPayload(launcher, output->file, checksum);
    if (copied != kCopyDone)
        return RefuseCopy(err, copied, "LAUNCHER", path, launcher->file, *output);
    if (plan.checked && *checksum != plan.checksum)
        return Refuse(err, "LAUNCHER %s is damaged: its package has CRC-32C %08X, the record expects %08X", path,
                      *checksum, plan.checksum);
    HeaderReport report = {};
    int status = WalkPayloadHeader(path, launcher, &report, err);
    if (status != kToolOk)
        return status;
    if (report.result == 0)
        return Refuse(err, "LAUNCHER %s: package header damaged (%s); the launcher would reject the package", path,
                      HeaderStopReason(report));
    return kToolOk;
}

int ExtractFromLauncher(const char* path, LauncherFile* launcher, const char* outputPath, FILE* out, FILE* err)
{
    const PayloadPlan& plan = launcher->plan;
    if (!launcher->planned)
        return RefuseMissingPackage(path, *launcher, err);
    if (plan.length == 0)
        return Refuse(err, "LAUNCHER %s carries no package after its image", path);
    AtomicOutput output;
    std::string error;
    if (!BeginAtomicOutput(outputPath, &output, &error))
        return Refuse(err, "cannot write OUTPUT %s: %s", outputPath, error.c_str());
    uint32_t checksum = 0;
    int status = CopyPackage(path, launcher, &output, &checksum, err);
    if (status != kToolOk) {
        AbandonAtomicOutput(&output);
        return status;
    }
    if (!CommitAtomicOutput(&output, &error))
        return Refuse(err, "cannot write OUTPUT %s: %s", outputPath, error.c_str());
    fprintf(out, "wrote %s: package %u bytes from offset %u, CRC-32C %08X%s\n", outputPath, plan.length, plan.offset,
            checksum, plan.checked ? " as recorded" : " (no integrity record to check)");
    return kToolOk;
}

}  // namespace

int ExtractPackage(const char* launcherPath, const char* outputPath, FILE* out, FILE* err)
{
    // The rename would put the package in the place of its launcher.
    if (SameFile(outputPath, launcherPath))
        return Refuse(err, "OUTPUT %s is the LAUNCHER, which is never overwritten", outputPath);
    LauncherFile launcher;
    int status = OpenLauncher(launcherPath, &launcher, err);
    if (status == kToolOk)
        status = ExtractFromLauncher(launcherPath, &launcher, outputPath, out, err);
    CloseLauncher(&launcher);
    return status;
}
