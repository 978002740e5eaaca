// Finds the installed copies of the application through the registry.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "package/version.h"
#include "sizes.h"

struct InstallationRecord {
    char path[kPathSize];
    VersionTriple version;
};

// Frees a list already held in list (nullptr or an earlier scan's list), then
// fills list and count with the accepted copies in the registry's enumeration
// order. COM must be initialised.
// The list is one block on the process heap, nullptr when nothing was found:
// release it with FreeInstallations (or HeapFree on GetProcessHeap()).
void ScanInstallations(InstallationRecord** list, uint32_t* count);

// Releases a list from ScanInstallations; list becomes nullptr and count 0.
void FreeInstallations(InstallationRecord** list, uint32_t* count);

// 1 when the subkey's PATH was read and its directory accepted (record filled).
// PATH is read as its bytes whatever its type, up to its first zero or its end;
// a value of more than 260 bytes, or whose text runs to 260 characters, is
// dropped.
int ReadInstallPath(HKEY subkey, InstallationRecord* record);
