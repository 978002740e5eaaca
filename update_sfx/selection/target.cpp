// Decides which installation receives the update: none is an error, one is
// taken as it is, several go before the user in the chooser dialog.
#include "selection/target.h"

#include <windows.h>
#include <objbase.h>

#include "discovery/scan.h"
#include "launcher/instance.h"
#include "package/header.h"
#include "resources/resource.h"
#include "selection/chooser.h"

int ChooseTarget(char** installPath, const char* packageFilePath, HWND owner)
{
    int result = -1;
    InstallationRecord* list = nullptr;
    uint32_t count = 0;
    // Zeroed: a header without a target version leaves target as it is.
    ChooserContext context = {nullptr, 0, -1, {0, 0, 0}, {0, 0, 0}};
    int32_t chosen = 0;
    char* copy = nullptr;

    // The scan reads XML through COM; no COM object outlives it, so COM is
    // over before any window appears.
    CoInitialize(nullptr);
    ScanInstallations(&list, &count);
    CoUninitialize();

    if (count == 0)
        goto done;
    // From here on the caller shows nothing: the header reader has told the
    // user already, or the user cancelled.
    result = 1;
    // A single installation is offered whatever its version: no header, no dialog.
    if (count >= 2) {
        if (!ReadPackageHeader(packageFilePath, &context.source, &context.target))
            goto done;
        context.list = list;
        context.count = count;
        // A Unicode dialog: an ANSI one would carry its caption, buttons and
        // items in the code page, which may lack their letters. Owned by the
        // progress window, it stays above it and, once closed, gives the
        // foreground back to it rather than to another program.
        if (DialogBoxParamW(g_hInstance, MAKEINTRESOURCEW(IDD_CHOOSER), owner, ChooserDialogProc,
                            reinterpret_cast<LPARAM>(&context)) != IDOK)
            goto done;
        chosen = context.selected;
        // The dialog ends with IDOK only after setting a valid index; checked all the same.
        if (chosen < 0 || static_cast<uint32_t>(chosen) >= count)
            goto done;
    }

    copy = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, lstrlenA(list[chosen].path) + 1));
    if (copy == nullptr)
        goto done;
    lstrcpyA(copy, list[chosen].path);
    *installPath = copy;
    result = 0;

done:
    FreeInstallations(&list, &count);
    return result;
}
