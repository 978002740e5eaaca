// Inspection: the image rules and the header walk, applied as the launcher applies them.
#include "examine.h"

#include <stdint.h>

#include <string>
#include <vector>

#include "file_io.h"
#include "header_report.h"
#include "image_bytes.h"
#include "package/image_layout.h"
#include "status.h"
#include "tool_limits.h"

namespace {

void PrintSignature(FILE* out, const std::vector<uint8_t>& headers, uint32_t payloadLength, uint32_t fileSize,
                    uint32_t offset)
{
    uint32_t certificate = 0, certificateSize = 0, recorded = 0;
    bool isSigned = CertificateTable(headers.data(), static_cast<uint32_t>(headers.size()), &certificate,
                                     &certificateSize) != 0;
    bool hasRecord = RecordedPackageLength(headers.data(), static_cast<uint32_t>(headers.size()), &recorded) != 0;
    if (isSigned)
        fprintf(out, "signed: yes (certificate table at %u, %u bytes)\n", certificate, certificateSize);
    else
        fputs("signed: no\n", out);
    if (hasRecord)
        fprintf(out, "recorded package length: %u\n", recorded);
    else
        fputs("recorded package length: none\n", out);

    // What the launcher will copy besides the package, said where it happens.
    if (isSigned && !hasRecord)
        fputs("note: without a recorded length the launcher copies the signature into the package file\n", out);
    else if (isSigned && payloadLength != recorded)
        fputs("note: the recorded length does not fit before the certificate table and is ignored\n", out);
    else if (!isSigned && hasRecord && recorded < fileSize - offset)
        fprintf(out, "note: %u bytes follow the recorded package length; the launcher copies them too\n",
                fileSize - offset - recorded);
    else if (!isSigned && hasRecord && recorded > fileSize - offset)
        fprintf(out, "note: the payload is %u bytes shorter than the recorded package length\n",
                recorded - (fileSize - offset));
}

int InspectOpenFile(const char* path, FILE* file, uint64_t size, FILE* out, FILE* err)
{
    if (size > kMaxLauncherSize)
        return Refuse(err, "LAUNCHER %s is 4 GiB or more, which the launcher cannot read", path);
    uint32_t fileSize = static_cast<uint32_t>(size);
    std::vector<uint8_t> headers(ImageHeaderBytes(fileSize));
    if (!ReadExactly(file, headers.data(), headers.size()))
        return Refuse(err, "cannot read LAUNCHER %s", path);
    uint32_t offset = 0, length = 0;
    if (!PayloadOffset(headers.data(), static_cast<uint32_t>(headers.size()), &offset))
        return Refuse(err, "LAUNCHER %s is not a PE image, or its headers are damaged", path);
    if (!PayloadLength(headers.data(), static_cast<uint32_t>(headers.size()), offset, fileSize, &length))
        return Refuse(err, "LAUNCHER %s is truncated: its image ends at byte %u but the file has %u bytes", path,
                      offset, fileSize);
    fprintf(out, "payload offset: %u\npayload size: %u\n", offset, length);
    PrintSignature(out, headers, length, fileSize, offset);

    if (length == 0)
        return Refuse(err, "LAUNCHER %s carries no package after its image", path);
    if (!SeekTo(file, offset))
        return Refuse(err, "cannot read LAUNCHER %s", path);
    HeaderReport report = WalkHeaderInFile(file, length);
    if (report.result == 0)
        return Refuse(err, "LAUNCHER %s: package header damaged: %s", path, HeaderStopReason(report));
    PrintHeader(out, report);
    return kToolOk;
}

}  // namespace

int InspectLauncher(const char* launcherPath, FILE* out, FILE* err)
{
    uint64_t size = 0;
    std::string error;
    FILE* file = OpenInput(launcherPath, &size, &error);
    if (file == nullptr)
        return Refuse(err, "cannot read LAUNCHER %s: %s", launcherPath, error.c_str());
    int status = InspectOpenFile(launcherPath, file, size, out, err);
    fclose(file);
    return status;
}
