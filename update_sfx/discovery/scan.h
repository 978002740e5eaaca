// Finds the installed copies of the application through the registry.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "package/version.h"
#include "sizes.h"

struct InstallationRecord {
    char path[kPathSize];  // in the ANSI code page, its short form where the long one cannot be spelled
    VersionTriple version;
    wchar_t shownPath[kPathSize];  // as the registry names it, for the chooser
};

// The registry view the installations are read in: the 32-bit one, where the
// application's installer registers them. The 32-bit stub reads it without a
// flag, under WoW64 and on systems that predate the flag alike; the 64-bit
// build, which stands in for it where 32-bit programs cannot start, names it.
#ifdef _WIN64
const REGSAM kInstallationsView = KEY_WOW64_32KEY;
#else
const REGSAM kInstallationsView = 0;
#endif

// Frees a list already held in list (nullptr or an earlier scan's list), then
// fills list and count with the accepted copies in the registry's enumeration
// order. COM must be initialised.
// The list is one block on the process heap, nullptr when nothing was found:
// release it with FreeInstallations (or HeapFree on GetProcessHeap()).
void ScanInstallations(InstallationRecord** list, uint32_t* count);

// Releases a list from ScanInstallations; list becomes nullptr and count 0.
void FreeInstallations(InstallationRecord** list, uint32_t* count);

// 1 when the subkey's PATH was read and its directory accepted (record filled).
// A string value is read in UTF-16 and spelled exactly or by its short form;
// a value of any other type is its bytes, taken as narrow text. Either is read
// up to its first zero or its end; a string of more than 259 characters, or
// other bytes of more than 260, or whose text runs to 260 characters, is
// dropped.
int ReadInstallPath(HKEY subkey, InstallationRecord* record);
