// The executable's instance handle: its headers locate the payload, its
// resources hold the chooser dialog.
#pragma once

#include <windows.h>

extern HINSTANCE g_hInstance;
