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

// Frees a list already held in list, then fills list and count with the
// accepted copies in the registry's enumeration order. COM must be initialised.
void ScanInstallations(InstallationRecord** list, uint32_t* count);

// 1 when the subkey's PATH was read and its directory accepted (record filled).
int ReadInstallPath(HKEY subkey, InstallationRecord* record);
