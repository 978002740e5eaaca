// Decides which installation receives the update.
#pragma once

#include <windows.h>

// -1: no installation found (nothing shown yet); 0: chosen, installPath gets a
// heap string the caller frees; 1: cancelled, or the package header was
// unreadable (already reported), or the chooser could not be shown. owner:
// the window the chooser is modal to, the copy's progress window, or nullptr.
int ChooseTarget(char** installPath, const char* packageFilePath, HWND owner);
