// Payload extraction: the bytes after the executable image, copied through
// read-only views of the launcher's own file, one bounded view and one write
// at a time, and held to the packing tool's checksum when it recorded one.
#include "package/payload.h"

#include <windows.h>

#include "launcher/instance.h"
#include "package/checksum.h"
#include "package/image_layout.h"
#include "package/payload_views.h"
#include "sizes.h"

namespace {

// The loader maps the image headers as at least one whole page.
const uint32_t kHeaderPageSize = 4096;

const uint8_t* Headers()
{
    return reinterpret_cast<const uint8_t*>(g_hInstance);
}

// Maps the view that carries the payload from done on into *view, or leaves
// it empty when the whole payload has been carried. 0 when mapping fails.
int MapNextView(HANDLE mapping, const PayloadPlan& plan, uint32_t done, PayloadView* next, const uint8_t** view)
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    *view = nullptr;
    if (!NextPayloadView(plan.offset, plan.length, done, system.dwAllocationGranularity, kPayloadViewSize, next))
        return 1;
    *view = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, next->mapOffset, next->mapLength));
    return *view != nullptr;
}

// Files of 4 GiB or more are outside the design: their low 32 bits would
// name the wrong bytes, so they are refused rather than cut.
int PlanFromFile(HANDLE ownFile, PayloadPlan* plan)
{
    LARGE_INTEGER fileSize;
    return GetFileSizeEx(ownFile, &fileSize) && fileSize.HighPart == 0
           && PlanPayload(Headers(), kHeaderPageSize, fileSize.LowPart, plan);
}

}  // namespace

int ExtractPayload(const char* packageFilePath)
{
    int result = 0;
    HANDLE ownFile = INVALID_HANDLE_VALUE;
    HANDLE mapping = nullptr;
    const uint8_t* view = nullptr;
    HANDLE packageFile = INVALID_HANDLE_VALUE;
    char ownPath[kPathSize];
    PayloadPlan plan;
    PayloadView next;
    Crc32c crc;
    uint32_t checksum = 0;
    uint32_t done = 0;
    int planned = 0;

    if (!PayloadOffset(Headers(), kHeaderPageSize, &plan.offset))
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
    // The first view is taken before the package file is created, so a file
    // that cannot be viewed leaves no package file behind.
    planned = PlanFromFile(ownFile, &plan);
    if (planned && !MapNextView(mapping, plan, 0, &next, &view))
        goto cleanup;
    packageFile = CreateFileA(packageFilePath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    // A truncated launcher ends inside its own image, or before its recorded
    // package ends: nothing is copied.
    if (packageFile == INVALID_HANDLE_VALUE || !planned)
        goto cleanup;
    if (plan.checked)
        Crc32cInit(&crc);
    while (view != nullptr) {
        DWORD written = 0;
        // Checked first, while the view is being faulted in; the write then reads it from cache.
        if (plan.checked)
            checksum = Crc32cUpdate(&crc, checksum, view + next.skip, next.length);
        if (!WriteFile(packageFile, view + next.skip, next.length, &written, nullptr) || written != next.length)
            goto cleanup;
        UnmapViewOfFile(view);
        view = nullptr;
        done += next.length;
        if (!MapNextView(mapping, plan, done, &next, &view))
            goto cleanup;
    }
    // A damaged package never reaches the updater.
    result = !plan.checked || checksum == plan.checksum ? 1 : 0;

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
