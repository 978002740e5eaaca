// Package header walk over a file, with the launcher's own rules, and its description.
#include "files/header_report.h"

#include "platform/file_io.h"
#include "selection/version_gate.h"

namespace {

// Keeps the walk inside the package, whatever lengths the header claims.
struct BoundedFile {
    FILE* file;
    uint64_t remaining;
    std::string* readFailure;
};

int ReadBounded(void* source, void* buffer, uint32_t size)
{
    BoundedFile* bounded = static_cast<BoundedFile*>(source);
    if (size > bounded->remaining)
        return 0;
    if (!ReadExactly(bounded->file, buffer, size)) {
        // Taken at once, before another call can change the system's code.
        if (ferror(bounded->file))
            *bounded->readFailure = FileFailure(bounded->file);
        return 0;
    }
    bounded->remaining -= size;
    return 1;
}

bool TargetWasRead(const HeaderReport& report)
{
    return report.stop == kHeaderComplete || report.stop == kHeaderBadTargetTerminator
           || report.stop == kHeaderBadFormatName || report.stop == kHeaderBadFormatValue;
}

void PrintVersion(FILE* out, const char* label, const VersionTriple& v)
{
    fprintf(out, "%s: " VERSION_DISPLAY_FORMAT "\n", label, v.major, v.minor, v.build);
}

}  // namespace

HeaderReport WalkHeaderInFile(FILE* file, uint64_t length)
{
    HeaderReport report = {};
    BoundedFile bounded = {file, length, &report.readFailure};
    report.result = WalkPackageHeaderEx(ReadBounded, &bounded, &report.header, &report.stop);
    return report;
}

const char* HeaderStopReason(const HeaderReport& report)
{
    switch (report.stop) {
    case kHeaderComplete:
        return "the header is complete";
    case kHeaderBadMagic:
        return "it does not start with PATCH";
    case kHeaderBadSection:
        return "the section name after PATCH is not PATCHHEAD";
    case kHeaderBadSourceName:
        return "the first entry is not SRCVERSION";
    case kHeaderBadSourceValue:
        return "the SRCVERSION value is cut short, longer than 249 bytes, or not a version of three numbers";
    case kHeaderBadSourceTerminator:
        return "the package ends before the zero byte after the SRCVERSION value";
    case kHeaderBadTargetName:
        return "the DSTVERSION entry is missing, misnamed or cut short";
    case kHeaderBadTargetValue:
        // The walk accepts an unreadable value but rejects one that does not parse.
        return report.result == 0 ? "the DSTVERSION value is not a version of three numbers"
                                  : "the DSTVERSION value is cut short or longer than 249 bytes";
    case kHeaderBadTargetTerminator:
        return "the package ends before the zero byte after the DSTVERSION value";
    case kHeaderBadFormatName:
        return "the FORMATTYPE entry is missing, misnamed or cut short";
    case kHeaderBadFormatValue:
        return "the FORMATTYPE value is cut short";
    }
    return "the header stopped for an unknown reason";
}

void PrintHeader(FILE* out, const HeaderReport& report)
{
    PrintVersion(out, "source version", report.header.source);
    if (TargetWasRead(report))
        PrintVersion(out, "target version", report.header.target);
    else
        fputs("target version: none\n", out);
    if (report.header.hasFormatType) {
        fprintf(out, "format type: %u (%s)\n", report.header.formatType,
                report.header.formatType == kFormatRange
                    ? "any installed version from the source up to, not including, the target"
                    : "the installed version must equal the source");
    } else {
        fputs("format type: 0 (not in the header; the installed version must equal the source)\n", out);
    }
    if (report.stop != kHeaderComplete)
        fprintf(out, "note: %s; the launcher accepts the header as far as it goes\n", HeaderStopReason(report));
}
