// The access list of an elevated run's work directory, built from the token.
#include "launcher/work_dir_security.h"

#include <sddl.h>

namespace {

// Protected, so that nothing of the user's TEMP is inherited. 0x1200a9 is
// FILE_GENERIC_READ | FILE_GENERIC_EXECUTE: read, list and execute.
const wchar_t kListBeforeUser[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;";
// A SID in text has at most 15 sub-authorities of 10 digits and a 48-bit
// authority, under 190 characters.
const int kSidTextSize = 190;
const int kListSize = sizeof kListBeforeUser / sizeof kListBeforeUser[0] + kSidTextSize + 1;

struct TokenUserRecord {
    TOKEN_USER user;
    BYTE sid[SECURITY_MAX_SID_SIZE];
};

}  // namespace

int WorkDirSecurity(PSECURITY_DESCRIPTOR* descriptor)
{
    int result = 0;
    HANDLE token = nullptr;
    wchar_t* userSid = nullptr;
    TOKEN_ELEVATION elevation;
    TokenUserRecord tokenUser;
    wchar_t list[kListSize];
    DWORD size;

    *descriptor = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        goto cleanup;
    if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size)) {
        // A system before UAC knows no elevation: the directory is made as ever.
        result = GetLastError() == ERROR_INVALID_PARAMETER;
        goto cleanup;
    }
    if (!elevation.TokenIsElevated) {
        result = 1;
        goto cleanup;
    }
    if (!GetTokenInformation(token, TokenUser, &tokenUser, sizeof tokenUser, &size)
        || !ConvertSidToStringSidW(tokenUser.user.User.Sid, &userSid) || lstrlenW(userSid) >= kSidTextSize)
        goto cleanup;
    lstrcpyW(list, kListBeforeUser);
    lstrcatW(list, userSid);
    lstrcatW(list, L")");
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(list, SDDL_REVISION_1, descriptor, nullptr))
        result = 1;

cleanup:
    if (userSid != nullptr)
        LocalFree(userSid);
    if (token != nullptr)
        CloseHandle(token);
    return result;
}
