// The work directory's access list in an elevated run: only the elevated may
// change what the elevated updater will read.
#pragma once

#include <windows.h>

// The list for a process of this kind, in security descriptor text with %s
// for the token's user's SID; nullptr for the default security of a process
// that is not elevated. An administrator's list gives full control to SYSTEM
// and Administrators and read, list and execute to the user and to the owner,
// whoever the owner policy makes that; any other
// elevated user's gives full control to SYSTEM and the user, under a high
// mandatory label. Either is protected and inherited by files and folders.
const wchar_t* WorkDirListFormat(int elevated, int administrator);

// The security for a new work directory, in *descriptor: nullptr (the default)
// when the process is not elevated, else the list above for the process's
// token, administrator when the token has the Administrators group enabled.
// Freed with LocalFree. 0 when an elevated process's list cannot be built: it
// never gets an open directory.
int WorkDirSecurity(PSECURITY_DESCRIPTOR* descriptor);
