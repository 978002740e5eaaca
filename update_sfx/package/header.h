// Reads the package header from the package file written into the work directory.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "package/version.h"

// 2: any installation version from source up to, not including, target fits;
// anything else: only the source version fits. Set only by ReadPackageHeader.
extern uint32_t g_formatType;

// 1 when the header is accepted. On 0 the user has already been told, in a
// box owned by owner (the progress window, or nullptr).
int ReadPackageHeader(const char* packageFilePath, VersionTriple* source, VersionTriple* target, HWND owner);
