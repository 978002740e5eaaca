// The dialog in which the user picks the installation to update.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "discovery/scan.h"
#include "package/version.h"

struct ChooserContext {
    InstallationRecord* list;
    uint32_t count;
    int32_t selected;       // written by the dialog when a pick is accepted
    VersionTriple source;   // the package's SRCVERSION
    VersionTriple target;   // the package's DSTVERSION
};

// Dialog procedure of IDD_CHOOSER; lParam of WM_INITDIALOG is the ChooserContext.
INT_PTR CALLBACK ChooserDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
