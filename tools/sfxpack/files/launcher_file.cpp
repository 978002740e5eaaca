// Opening a launcher and streaming its payload, shared by inspect and extract
// so that both read a launcher exactly as the launcher reads itself.
#include "files/launcher_file.h"

#include <string>

#include "files/tool_limits.h"
#include "image/image_bytes.h"
#include "platform/file_io.h"
#include "status/status.h"

int OpenLauncher(const char* path, LauncherFile* launcher, FILE* err)
{
    launcher->planned = 0;
    uint64_t size = 0;
    std::string error;
    launcher->file = OpenInput(path, &size, &error);
    if (launcher->file == nullptr)
        return Refuse(err, "cannot read LAUNCHER %s: %s", path, error.c_str());
    if (size > kMaxLauncherSize)
        return Refuse(err, "LAUNCHER %s is 4 GiB or more, which the launcher cannot read", path);
    launcher->size = static_cast<uint32_t>(size);
    launcher->headers.resize(ImageHeaderBytes(launcher->size));
    if (!ReadExactly(launcher->file, launcher->headers.data(), launcher->headers.size()))
        return Refuse(err, "cannot read LAUNCHER %s: %s", path, FileFailure(launcher->file).c_str());
    const uint8_t* headers = launcher->headers.data();
    uint32_t headerSize = static_cast<uint32_t>(launcher->headers.size());
    uint32_t offset = 0, length = 0;
    // The plan says only that it failed; these two say why, in the publisher's terms.
    if (!PayloadOffset(headers, headerSize, &offset))
        return Refuse(err, "LAUNCHER %s is not a PE image, or its headers are damaged", path);
    if (!PayloadLength(headers, headerSize, offset, launcher->size, &length))
        return Refuse(err, "LAUNCHER %s is truncated: its image ends at byte %u but the file has %u bytes", path,
                      offset, launcher->size);
    launcher->planned = PlanPayload(headers, headerSize, launcher->size, &launcher->plan);
    return kToolOk;
}

void CloseLauncher(LauncherFile* launcher)
{
    if (launcher->file != nullptr)
        fclose(launcher->file);
    launcher->file = nullptr;
}

bool CertificateBoundsPackage(const LauncherFile& launcher)
{
    uint32_t certificate = 0, certificateSize = 0;
    return CertificateTable(launcher.headers.data(), static_cast<uint32_t>(launcher.headers.size()), &certificate,
                            &certificateSize)
           && certificate >= launcher.plan.offset && certificate <= launcher.size;
}

int RefuseMissingPackage(const char* path, const LauncherFile& launcher, FILE* err)
{
    uint32_t recorded = 0;
    RecordedPackageLength(launcher.headers.data(), static_cast<uint32_t>(launcher.headers.size()), &recorded);
    if (CertificateBoundsPackage(launcher))
        return Refuse(err,
                      "LAUNCHER %s: its recorded package length %u reaches %u bytes into its certificate table; "
                      "the launcher refuses it",
                      path, recorded, launcher.plan.missing);
    return Refuse(err, "LAUNCHER %s is cut short: %u bytes of its %u-byte package are missing", path,
                  launcher.plan.missing, recorded);
}

CopyResult StreamPayload(LauncherFile* launcher, FILE* copy, uint32_t* checksum)
{
    if (!SeekTo(launcher->file, launcher->plan.offset))
        return kCopyReadFailed;
    return CopyWithChecksum(launcher->file, launcher->plan.length, copy, checksum);
}

int WalkPayloadHeader(const char* path, LauncherFile* launcher, HeaderReport* report, FILE* err)
{
    if (!SeekTo(launcher->file, launcher->plan.offset))
        return Refuse(err, "cannot read LAUNCHER %s: %s", path, FileFailure(launcher->file).c_str());
    *report = WalkHeaderInFile(launcher->file, launcher->plan.length);
    if (!report->readFailure.empty())
        return Refuse(err, "cannot read LAUNCHER %s: %s", path, report->readFailure.c_str());
    return kToolOk;
}
