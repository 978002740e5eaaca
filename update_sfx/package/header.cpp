// The package header reader around the header walk: the file, and the report.
#include "package/header.h"

#include <windows.h>

#include "launcher/messages.h"
#include "package/header_walk.h"

uint32_t g_formatType = 0;

namespace {

int ReadFromFile(void* file, void* buffer, uint32_t size)
{
    DWORD got = 0;
    return ReadFile(static_cast<HANDLE>(file), buffer, size, &got, nullptr) && got == size ? 1 : 0;
}

}  // namespace

int ReadPackageHeader(const char* packageFilePath, VersionTriple* source, VersionTriple* target, HWND owner)
{
    int result = 0;
    HANDLE file = CreateFileA(packageFilePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        PackageHeader header = {*source, *target, 0, false};
        result = WalkPackageHeader(ReadFromFile, file, &header);
        *source = header.source;
        *target = header.target;
        if (header.hasFormatType)
            g_formatType = header.formatType;
        CloseHandle(file);
    }
    if (result == 0)
        ShowMessage(MSG_BAD_PACKAGE, owner);
    return result;
}
