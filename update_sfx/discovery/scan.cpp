// The registry scan: every registered copy of the application whose directory
// passes the installation check, in the registry's own order.
#include "discovery/scan.h"

#include <shlwapi.h>

#include "discovery/install_check.h"
#include "launcher/ansi_path.h"
#include "launcher/profile_resource.h"

namespace {

// The longest name a registry key may have, and its terminator.
const DWORD kKeyNameSize = 256;

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
    (*list)[*count] = *found;
    ++*count;
}

// Opens the subkey by the name it was enumerated under and appends its copy
// when that is accepted. A subkey that cannot be opened is passed over.
void AddInstallation(HKEY installations, const wchar_t* name, InstallationRecord** list, uint32_t* count)
{
    HKEY subkey = nullptr;
    if (RegOpenKeyExW(installations, name, 0, KEY_READ | kInstallationsView, &subkey) != ERROR_SUCCESS)
        return;
    InstallationRecord found;
    if (ReadInstallPath(subkey, &found))
        AppendInstallation(list, count, &found);
    RegCloseKey(subkey);
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
    // One character beyond what the query may fill, for the terminator that a
    // value stored without one, or not as a string, lacks.
    wchar_t value[kPathSize + 1];
    DWORD type = REG_NONE;
    DWORD size = kPathSize * sizeof(wchar_t);
    if (RegQueryValueExW(subkey, ProfileValue(kProfilePathValue), nullptr, &type, reinterpret_cast<BYTE*>(value), &size)
        != ERROR_SUCCESS)
        return 0;
    // Success never reports more than the room given; the size indexes the
    // buffers below, so it is not taken on trust.
    if (size > kPathSize * sizeof(wchar_t))
        return 0;
    char directory[kPathSize + 1];
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        value[size / sizeof(wchar_t)] = L'\0';
        if (lstrlenW(value) >= static_cast<int>(kPathSize) || !SpellPath(value, CP_ACP, directory))
            return 0;
    } else {
        // Bytes of no string type are narrow text as they stand: nothing is
        // converted, so nothing can turn into a look-alike.
        if (size > kPathSize)
            return 0;
        CopyMemory(directory, value, size);
        directory[size] = '\0';
        MultiByteToWideChar(CP_ACP, 0, directory, -1, value, kPathSize + 1);
    }
    // 260 bytes without a zero make a directory of 260 characters, which the
    // check rejects: none of its files can be named in a path.
    if (!CheckInstallDir(directory, record))
        return 0;
    lstrcpynW(record->shownPath, value, kPathSize);
    return 1;
}

void ScanInstallations(InstallationRecord** list, uint32_t* count)
{
    FreeInstallations(list, count);
    HKEY installations = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ProfileValue(kProfileKey), 0, KEY_READ | kInstallationsView,
                      &installations)
        != ERROR_SUCCESS)
        return;
    const wchar_t* prefix = ProfileValue(kProfilePrefix);

    // Names in UTF-16: the code page would spell a name it lacks letters for
    // as '?' or as a look-alike, and open a sibling key, or none, by it.
    wchar_t name[kKeyNameSize];
    for (DWORD index = 0;; ++index) {
        DWORD length = kKeyNameSize;
        LONG status = RegEnumKeyExW(installations, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        // A name too long for the buffer drops only its own key; anything else
        // but a name ends the scan: past the last subkey, or on any error.
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        if (StrCmpNIW(name, prefix, lstrlenW(prefix)) == 0)
            AddInstallation(installations, name, list, count);
    }
    RegCloseKey(installations);
}
