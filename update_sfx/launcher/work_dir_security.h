// The work directory's access list in an elevated run: only the system and the
// administrators may change what the elevated updater will read.
#pragma once

#include <windows.h>

// The security for a new work directory, in *descriptor: nullptr (the default)
// when the process is not elevated; when it is, a protected list inherited by
// files and folders, with full control for SYSTEM and Administrators and read,
// list and execute for the token's user. Freed with LocalFree. 0 when an
// elevated process's list cannot be built: it never gets an open directory.
int WorkDirSecurity(PSECURITY_DESCRIPTOR* descriptor);
