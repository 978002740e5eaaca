// Decides which installation receives the update: none is an error, one is
// taken as it is, several go before the user in the chooser dialog.
#include "selection/target.h"

#include <windows.h>
#include <objbase.h>

#include "discovery/scan.h"
#include "launcher/instance.h"
#include "package/header.h"
#include "package/progress_window.h"
#include "resources/resource.h"
#include "selection/chooser.h"

namespace {

struct ScanResult {
    InstallationRecord* list;
    uint32_t count;
};

// The scan reads XML through COM; COM lives on this thread for the scan
// alone, and no COM object outlives it.
DWORD WINAPI ScanThread(void* parameter)
{
    ScanResult* scan = static_cast<ScanResult*>(parameter);
    CoInitialize(nullptr);
    ScanInstallations(&scan->list, &scan->count);
    CoUninitialize();
    return 0;
}

// A registered path on a dead network drive can hold the scan for many
// seconds, so while a progress window shows the scan runs on a thread of its
// own and this one keeps the window answering. Without a window, or where no
// thread can be made, it runs here.
void Scan(ScanResult* scan, HWND window)
{
    HANDLE thread = window != nullptr ? CreateThread(nullptr, 0, ScanThread, scan, 0, nullptr) : nullptr;
    if (thread == nullptr) {
        ScanThread(scan);
        return;
    }
    WaitAnswering(window, thread);
    CloseHandle(thread);
}

}  // namespace

int ChooseTarget(char** installPath, const char* packageFilePath, HWND owner)
{
    int result = -1;
    ScanResult scan = {nullptr, 0};
    // Zeroed: a header without a target version leaves target as it is.
    ChooserContext context = {nullptr, 0, -1, {0, 0, 0}, {0, 0, 0}};
    int32_t chosen = 0;
    char* copy = nullptr;

    Scan(&scan, owner);
    if (scan.count == 0)
        goto done;
    // From here on the caller shows nothing: the header reader has told the
    // user already, or the user cancelled.
    result = 1;
    // A single installation is offered whatever its version: no header, no dialog.
    if (scan.count >= 2) {
        if (!ReadPackageHeader(packageFilePath, &context.source, &context.target, owner))
            goto done;
        context.list = scan.list;
        context.count = scan.count;
        // A Unicode dialog: an ANSI one would carry its caption, buttons and
        // items in the code page, which may lack their letters. Owned by the
        // progress window, it stays above it and, once closed, gives the
        // foreground back to it rather than to another program.
        if (DialogBoxParamW(g_hInstance, MAKEINTRESOURCEW(IDD_CHOOSER), owner, ChooserDialogProc,
                            reinterpret_cast<LPARAM>(&context)) != IDOK)
            goto done;
        chosen = context.selected;
        // The dialog ends with IDOK only after setting a valid index; checked all the same.
        if (chosen < 0 || static_cast<uint32_t>(chosen) >= scan.count)
            goto done;
    }

    copy = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, lstrlenA(scan.list[chosen].path) + 1));
    if (copy == nullptr)
        goto done;
    lstrcpyA(copy, scan.list[chosen].path);
    *installPath = copy;
    result = 0;

done:
    FreeInstallations(&scan.list, &scan.count);
    return result;
}
