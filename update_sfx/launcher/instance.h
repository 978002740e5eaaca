// The executable's instance handle: its headers locate the payload, its
// resources hold the chooser dialog.
#pragma once

#include <windows.h>

extern HINSTANCE g_hInstance;

// A kernel32 call that older Windows lacks, or nullptr there: the newer calls
// are resolved at run time so that the launcher still starts without them.
FARPROC KernelProcedure(const char* name);
