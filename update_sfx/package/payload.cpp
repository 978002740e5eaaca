// Payload extraction: the bytes after the executable image, copied through
// read-only views of the launcher's own file, one bounded view at a time, and
// held to the packing tool's checksum when it recorded one. Each view is
// checked and written in pieces small enough to stay in a core's cache
// between the check and the write, and each view also maps the bytes after
// it, which are asked to be read ahead while it is written.
//
// A launcher on a network share or a USB stick can lose its medium mid-read.
// WriteFile then fails with an error, but the checksum reads the view itself,
// and a page that cannot be read in raises an exception there. A vectored
// handler, registered only while extraction runs, catches such a fault inside
// the current view: it puts zeroed memory where the view was, so that the
// interrupted read completes harmlessly, and marks the view failed; the copy
// then ends with a failure and the launch sequence reports it as any failed
// extraction.
#include "package/payload.h"

#include <windows.h>

#include "launcher/ansi_path.h"
#include "launcher/instance.h"
#include "package/checksum.h"
#include "package/image_layout.h"
#include "package/payload_views.h"
#include "package/progress_window.h"
#include "sizes.h"

namespace {

// The loader maps the image headers as at least one whole page.
const uint32_t kHeaderPageSize = 4096;

const uint8_t* Headers()
{
    return reinterpret_cast<const uint8_t*>(g_hInstance);
}

// The mapped view, as the fault handler sees it.
struct GuardedView {
    const uint8_t* base;  // nullptr while no view is mapped
    uint32_t length;
    volatile LONG failed;  // the handler replaced the view: its bytes are lost
};

// A vectored handler takes no argument of its own: the one extraction of the
// process publishes its view here while the handler is registered.
GuardedView* guardedView = nullptr;

// Windows reports a page that could not be read in as an in-page error, Wine
// as an access violation; either counts only inside the current view.
LONG CALLBACK ViewFaultHandler(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD* record = exception->ExceptionRecord;
    GuardedView* view = guardedView;
    if (view == nullptr || view->base == nullptr || view->failed || record->NumberParameters < 2
        || (record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR && record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION))
        return EXCEPTION_CONTINUE_SEARCH;
    uintptr_t address = record->ExceptionInformation[1];
    uintptr_t base = reinterpret_cast<uintptr_t>(view->base);
    if (address < base || address - base >= view->length)
        return EXCEPTION_CONTINUE_SEARCH;
    void* at = const_cast<uint8_t*>(view->base);
    UnmapViewOfFile(at);
    if (VirtualAlloc(at, view->length, MEM_RESERVE | MEM_COMMIT, PAGE_READONLY) != at)
        return EXCEPTION_CONTINUE_SEARCH;
    view->failed = 1;
    return EXCEPTION_CONTINUE_EXECUTION;
}

void ReleaseView(GuardedView* view)
{
    if (view->base == nullptr)
        return;
    void* at = const_cast<uint8_t*>(view->base);
    if (view->failed)
        VirtualFree(at, 0, MEM_RELEASE);
    else
        UnmapViewOfFile(at);
    view->base = nullptr;
}

struct MemoryRange {
    void* address;
    SIZE_T size;
};
typedef BOOL(WINAPI* PrefetchFn)(HANDLE, ULONG_PTR, MemoryRange*, ULONG);
// The current process, as GetCurrentProcess names it.
HANDLE const kThisProcess = reinterpret_cast<HANDLE>(-1);

// Maps the view that carries the payload from done on, together with up to a
// view's worth of the payload after it, and asks for those following bytes to
// be read in while this view is written: on Windows one large read, where
// page faults would read them in small pieces, one at a time. prefetch is
// nullptr before Windows 8, and the copy runs without it. Leaves the view
// empty when the whole payload has been carried; 0 when mapping fails.
int MapNextView(HANDLE mapping, const PayloadPlan& plan, uint32_t done, PrefetchFn prefetch, PayloadView* next,
                GuardedView* view)
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    if (!NextPayloadView(plan.offset, plan.length, done, system.dwAllocationGranularity, kPayloadViewSize, next))
        return 1;
    uint32_t after = plan.length - done - next->length;
    uint32_t ahead = after < kPayloadViewSize ? after : kPayloadViewSize;
    view->length = next->mapLength + ahead;
    view->base = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, next->mapOffset, view->length));
    if (view->base == nullptr)
        return 0;
    MemoryRange range = {const_cast<uint8_t*>(view->base) + next->mapLength, ahead};
    if (prefetch != nullptr && ahead != 0)
        prefetch(kThisProcess, 1, &range, 0);
    return 1;
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

int ExtractPayload(const char* packageFilePath, ExtractionProgress* progress)
{
    int result = kExtractFailed;
    HANDLE ownFile = INVALID_HANDLE_VALUE;
    HANDLE mapping = nullptr;
    GuardedView view = {nullptr, 0, 0};
    void* handler = nullptr;
    HANDLE packageFile = INVALID_HANDLE_VALUE;
    wchar_t ownWide[kPathSize];
    PayloadPlan plan;
    PayloadView next;
    Crc32c crc;
    uint32_t checksum = 0;
    uint32_t done = 0;
    int planned = 0;
    PrefetchFn prefetch =
        reinterpret_cast<PrefetchFn>(reinterpret_cast<void*>(KernelProcedure("PrefetchVirtualMemory")));
    BeginProgress(progress);

    if (!PayloadOffset(Headers(), kHeaderPageSize, &plan.offset))
        goto cleanup;
    // By its UTF-16 path: the code page need not spell it, nor the volume keep a short name.
    if (!GetOwnPath(ownWide))
        goto cleanup;
    ownFile = CreateFileW(ownWide, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                          nullptr);
    if (ownFile == INVALID_HANDLE_VALUE)
        goto cleanup;
    mapping = CreateFileMappingA(ownFile, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr)
        goto cleanup;
    guardedView = &view;
    // First in line, so that no other handler sees a fault it cannot mend.
    handler = AddVectoredExceptionHandler(1, ViewFaultHandler);
    if (handler == nullptr)
        goto cleanup;
    // The first view is taken before the package file is created, so a file
    // that cannot be viewed leaves no package file behind.
    planned = PlanFromFile(ownFile, &plan);
    if (planned && !MapNextView(mapping, plan, 0, prefetch, &next, &view))
        goto cleanup;
    packageFile = CreateFileA(packageFilePath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    // A truncated launcher ends inside its own image, or before its recorded
    // package ends: nothing is copied.
    if (packageFile == INVALID_HANDLE_VALUE || !planned)
        goto cleanup;
    if (plan.checked)
        Crc32cInit(&crc);
    while (view.base != nullptr) {
        for (uint32_t at = 0; at < next.length;) {
            DWORD written = 0;
            DWORD size = next.length - at < kPayloadPieceSize ? next.length - at : kPayloadPieceSize;
            const uint8_t* bytes = view.base + next.skip + at;
            // Checked first, the piece then stays in cache for the write.
            if (plan.checked)
                checksum = Crc32cUpdate(&crc, checksum, bytes, size);
            // A view lost to a read error holds zeros in place of its bytes:
            // asked before the write, so they never reach the package file, and
            // after it, in case the write itself touched the view.
            if (view.failed || !WriteFile(packageFile, bytes, size, &written, nullptr) || written != size
                || view.failed)
                goto cleanup;
            at += size;
            // After the last piece nothing shows any more, and a cancel changes nothing.
            if (done + at < plan.length && FeedProgress(progress, done + at, plan.length)) {
                result = kExtractCancelled;
                goto cleanup;
            }
        }
        ReleaseView(&view);
        done += next.length;
        if (!MapNextView(mapping, plan, done, prefetch, &next, &view))
            goto cleanup;
    }
    // A damaged package never reaches the updater.
    result = !plan.checked || checksum == plan.checksum ? kExtractDone : kExtractFailed;

cleanup:
    ReleaseView(&view);
    if (handler != nullptr)
        RemoveVectoredExceptionHandler(handler);
    guardedView = nullptr;
    if (mapping != nullptr)
        CloseHandle(mapping);
    if (ownFile != INVALID_HANDLE_VALUE)
        CloseHandle(ownFile);
    if (packageFile != INVALID_HANDLE_VALUE)
        CloseHandle(packageFile);
    return result;
}
