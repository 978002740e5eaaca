// The access list of an elevated run's work directory, built from the token.
#include "launcher/work_dir_security.h"

#include <sddl.h>

namespace {

// Both lists are protected, so that nothing of the user's TEMP is inherited;
// %s is the token's user. An administrator's directory is the administrators'
// own: the user's other programs run without the group and may only read
// (0x1200a9 is FILE_GENERIC_READ | FILE_GENERIC_EXECUTE). Its owner, whoever
// that is, gets the same (OW, OWNER RIGHTS, replacing the owner's implicit
// READ_CONTROL and WRITE_DAC): where the policy makes an administrator's new
// objects the creator's, the user owns the directory and the package file,
// and could otherwise rewrite their lists from any program. Any other elevated
// user has no such group, so the directory is the user's own, and its high
// label keeps the user's programs of medium integrity from adding or changing
// files there.
const wchar_t kAdministratorsList[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;OW)(A;OICI;0x1200a9;;;%s)";
const wchar_t kOwnUserList[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;%s)S:(ML;OICI;NW;;;HI)";
// A SID in text has at most 15 sub-authorities of 10 digits and a 48-bit
// authority, under 190 characters.
const int kSidTextSize = 190;
const int kListSize = sizeof kAdministratorsList / sizeof(wchar_t) + kSidTextSize;
static_assert(sizeof kOwnUserList <= sizeof kAdministratorsList, "the list buffer fits either list");

struct TokenUserRecord {
    TOKEN_USER user;
    BYTE sid[SECURITY_MAX_SID_SIZE];
};

// Whether the process's token has the Administrators group enabled: a
// filtered token has it only for deny, and an elevated token of another
// group (Backup Operators, say) not at all.
int IsAdministrator()
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    BOOL member = FALSE;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                  0, 0, 0, &administrators))
        return 0;
    if (!CheckTokenMembership(nullptr, administrators, &member))
        member = FALSE;
    FreeSid(administrators);
    return member ? 1 : 0;
}

}  // namespace

const wchar_t* WorkDirListFormat(int elevated, int administrator)
{
    if (!elevated)
        return nullptr;
    return administrator ? kAdministratorsList : kOwnUserList;
}

int WorkDirSecurity(PSECURITY_DESCRIPTOR* descriptor)
{
    int result = 0;
    HANDLE token = nullptr;
    wchar_t* userSid = nullptr;
    const wchar_t* format = nullptr;
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
    format = WorkDirListFormat(elevation.TokenIsElevated, elevation.TokenIsElevated && IsAdministrator());
    if (format == nullptr) {
        result = 1;
        goto cleanup;
    }
    if (!GetTokenInformation(token, TokenUser, &tokenUser, sizeof tokenUser, &size)
        || !ConvertSidToStringSidW(tokenUser.user.User.Sid, &userSid) || lstrlenW(userSid) >= kSidTextSize)
        goto cleanup;
    wsprintfW(list, format, userSid);
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(list, SDDL_REVISION_1, descriptor, nullptr))
        result = 1;

cleanup:
    if (userSid != nullptr)
        LocalFree(userSid);
    if (token != nullptr)
        CloseHandle(token);
    return result;
}
