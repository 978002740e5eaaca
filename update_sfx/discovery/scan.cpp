// The registry scan: every registered copy of the application whose directory
// passes the installation check, in the registry's own order.
#include "discovery/scan.h"

#include <shlwapi.h>

#include "discovery/install_check.h"

namespace {

const char kInstallationsKey[] = "SOFTWARE\\Korvella";
const char kInstallationPrefix[] = "VOLTANIS";
const int kInstallationPrefixLength = sizeof(kInstallationPrefix) - 1;
const char kPathValue[] = "PATH";

// Adds a copy at the end of the list, which grows by exactly one record. When
// the heap refuses, the list stays as it was and only this copy is lost.
void AppendInstallation(InstallationRecord** list, uint32_t* count, const InstallationRecord* found)
{
    HANDLE heap = GetProcessHeap();
    void* grown;
    if (*list == nullptr)
        grown = HeapAlloc(heap, 0, sizeof(InstallationRecord));
    else
        grown = HeapReAlloc(heap, 0, *list, (*count + 1) * sizeof(InstallationRecord));
    if (grown == nullptr)
        return;
    *list = static_cast<InstallationRecord*>(grown);
    InstallationRecord* added = &(*list)[*count];
    lstrcpynA(added->path, found->path, kPathSize);
    added->version = found->version;
    ++*count;
}

}  // namespace

void FreeInstallations(InstallationRecord** list, uint32_t* count)
{
    if (*list != nullptr)
        HeapFree(GetProcessHeap(), 0, *list);
    *list = nullptr;
    *count = 0;
}

int ReadInstallPath(HKEY subkey, InstallationRecord* record)
{
    // One byte beyond what the query may fill, for the terminator that a value
    // stored without one, or not as a string, lacks.
    char directory[kPathSize + 1];
    DWORD size = kPathSize;
    if (RegQueryValueExA(subkey, kPathValue, nullptr, nullptr, reinterpret_cast<BYTE*>(directory), &size)
        != ERROR_SUCCESS)
        return 0;
    // Success never reports more than the room given; the size indexes the
    // buffer below, so it is not taken on trust.
    if (size > kPathSize)
        return 0;
    directory[size] = '\0';
    // 260 bytes without a zero make a directory of 260 characters, which the
    // check rejects: none of its files can be named in a path.
    return CheckInstallDir(directory, record);
}

void ScanInstallations(InstallationRecord** list, uint32_t* count)
{
    FreeInstallations(list, count);
    HKEY installations = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInstallationsKey, 0, KEY_READ, &installations) != ERROR_SUCCESS)
        return;

    char name[kPathSize];
    // Ends at the first index the registry does not answer with a name: past
    // the last subkey, or on any error.
    for (DWORD index = 0; RegEnumKeyA(installations, index, name, kPathSize) == ERROR_SUCCESS; ++index) {
        if (StrCmpNIA(name, kInstallationPrefix, kInstallationPrefixLength) != 0)
            continue;
        HKEY subkey = nullptr;
        if (RegOpenKeyExA(installations, name, 0, KEY_READ, &subkey) != ERROR_SUCCESS)
            continue;
        InstallationRecord found;
        if (ReadInstallPath(subkey, &found))
            AppendInstallation(list, count, &found);
        RegCloseKey(subkey);
    }
    RegCloseKey(installations);
}
