// Payload extraction: the bytes after the executable image, copied through a
// read-only view of the launcher's own file in one write.
#include "package/payload.h"

#include <windows.h>

#include "launcher/instance.h"
#include "package/image_layout.h"
#include "sizes.h"

namespace {

// The loader maps the image headers as at least one whole page.
const uint32_t kHeaderPageSize = 4096;

}  // namespace

int ExtractPayload(const char* packageFilePath)
{
    int result = 0;
    HANDLE ownFile = INVALID_HANDLE_VALUE;
    HANDLE mapping = nullptr;
    const uint8_t* view = nullptr;
    HANDLE packageFile = INVALID_HANDLE_VALUE;
    char ownPath[kPathSize];
    uint32_t payloadOffset = 0;
    uint32_t payloadLength = 0;
    DWORD fileSize = 0;
    DWORD written = 0;

    if (!PayloadOffset(reinterpret_cast<const uint8_t*>(g_hInstance), kHeaderPageSize, &payloadOffset))
        goto cleanup;
    if (GetModuleFileNameA(nullptr, ownPath, kPathSize) == 0)
        goto cleanup;
    ownFile = CreateFileA(ownPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                          nullptr);
    if (ownFile == INVALID_HANDLE_VALUE)
        goto cleanup;
    mapping = CreateFileMappingA(ownFile, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr)
        goto cleanup;
    view = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    if (view == nullptr)
        goto cleanup;
    packageFile = CreateFileA(packageFilePath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (packageFile == INVALID_HANDLE_VALUE)
        goto cleanup;
    fileSize = GetFileSize(ownFile, nullptr);
    // A truncated launcher ends inside its own image: nothing to copy. A signed
    // one ends with padding and a certificate that are not part of the package.
    if (fileSize == INVALID_FILE_SIZE
        || !PayloadLength(reinterpret_cast<const uint8_t*>(g_hInstance), kHeaderPageSize, payloadOffset, fileSize,
                          &payloadLength))
        goto cleanup;
    if (WriteFile(packageFile, view + payloadOffset, payloadLength, &written, nullptr) && written == payloadLength)
        result = 1;

cleanup:
    if (view != nullptr)
        UnmapViewOfFile(view);
    if (mapping != nullptr)
        CloseHandle(mapping);
    if (ownFile != INVALID_HANDLE_VALUE)
        CloseHandle(ownFile);
    if (packageFile != INVALID_HANDLE_VALUE)
        CloseHandle(packageFile);
    return result;
}
