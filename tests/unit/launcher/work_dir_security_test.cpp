// The access list of an elevated run's work directory, judged by what it
// grants. Under Wine every process runs elevated as an administrator, and Wine
// does not enforce access lists on files, so the descriptor as built is put to
// the system's AccessCheck with the process's token and with one filtered of
// the Administrators group; the other kinds of process are rows of the list's choice.
#include "launcher/work_dir_security.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <string>

namespace {

std::wstring UserSid()
{
    HANDLE token;
    DWORD tokenUser[32], size;
    wchar_t* user = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return L"";
    if (GetTokenInformation(token, TokenUser, tokenUser, sizeof tokenUser, &size))
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(tokenUser)->User.Sid, &user);
    CloseHandle(token);
    std::wstring text = user != nullptr ? user : L"";
    LocalFree(user);
    return text;
}

// The descriptor's mandatory label as "level mask flags"; empty without one.
// Read from the entry itself: Wine writes a label back as text in another
// form than it reads.
std::wstring LabelOf(PSECURITY_DESCRIPTOR descriptor)
{
    BOOL present = FALSE, defaulted = FALSE;
    PACL sacl = nullptr;
    SYSTEM_MANDATORY_LABEL_ACE* ace = nullptr;
    wchar_t *level = nullptr, text[128];
    if (!GetSecurityDescriptorSacl(descriptor, &present, &sacl, &defaulted) || !present || sacl == nullptr
        || sacl->AceCount != 1 || !GetAce(sacl, 0, reinterpret_cast<void**>(&ace))
        || ace->Header.AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE || !ConvertSidToStringSidW(&ace->SidStart, &level))
        return L"";
    wsprintfW(text, L"%s 0x%X 0x%X", level, ace->Mask, ace->Header.AceFlags);
    LocalFree(level);
    return text;
}

PSID AdministratorsSid()
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                             &administrators);
    return administrators;
}

// The process's token as AccessCheck takes it, with the Administrators group
// enabled, or for deny only, as a filtered administrator's programs run.
HANDLE TokenOf(bool administrator)
{
    HANDLE process = nullptr, filtered = nullptr, token = nullptr;
    PSID administrators = AdministratorsSid();
    SID_AND_ATTRIBUTES disabled = {administrators, 0};
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &process)
        && (administrator || CreateRestrictedToken(process, 0, 1, &disabled, 0, nullptr, 0, nullptr, &filtered)))
        DuplicateToken(administrator ? process : filtered, SecurityImpersonation, &token);
    if (filtered != nullptr)
        CloseHandle(filtered);
    if (process != nullptr)
        CloseHandle(process);
    FreeSid(administrators);
    return token;
}

// What token may do to a directory with the descriptor's lists and the given
// owner: the list alone names no owner, whom the system's policy picks.
ACCESS_MASK Granted(PSECURITY_DESCRIPTOR built, PSID owner, HANDLE token)
{
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr, sacl = nullptr;
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    GetSecurityDescriptorDacl(built, &present, &dacl, &defaulted);
    SetSecurityDescriptorDacl(&descriptor, present, dacl, FALSE);
    GetSecurityDescriptorSacl(built, &present, &sacl, &defaulted);
    SetSecurityDescriptorSacl(&descriptor, present, sacl, FALSE);
    SetSecurityDescriptorOwner(&descriptor, owner, FALSE);
    SetSecurityDescriptorGroup(&descriptor, owner, FALSE);
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    PRIVILEGE_SET privileges;
    DWORD privilegesSize = sizeof privileges;
    ACCESS_MASK granted = 0;
    BOOL allowed = FALSE;
    if (!AccessCheck(&descriptor, token, MAXIMUM_ALLOWED, &mapping, &privileges, &privilegesSize, &granted, &allowed)
        || !allowed)
        return 0;
    return granted;
}

}  // namespace

// What the list grants, asked of the system for the process's token and for
// the same token with the Administrators group for deny only: the user's other
// programs may read, list and run the package, not change it or the list,
// whoever owns the directory.
TEST(WorkDirSecurity, ElevatedRunGivesSystemAndAdministratorsFullControlAndTheUserReadOnly)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(WorkDirSecurity(&descriptor), 1);
    ASSERT_NE(descriptor, nullptr) << "the process runs elevated";
    HANDLE administrator = TokenOf(true), user = TokenOf(false);
    ASSERT_NE(administrator, nullptr);
    ASSERT_NE(user, nullptr) << "no token without the Administrators group: " << GetLastError();
    PSID administrators = AdministratorsSid();
    DWORD tokenUser[32], size;
    ASSERT_TRUE(GetTokenInformation(user, TokenUser, tokenUser, sizeof tokenUser, &size));
    PSID userSid = reinterpret_cast<TOKEN_USER*>(tokenUser)->User.Sid;
    const ACCESS_MASK kReadListRun = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
    // Wine grants an owner these whatever an OWNER RIGHTS entry says; Windows
    // grants the owner what the entry does.
    const ACCESS_MASK kWineOwnerRights =
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr
            ? WRITE_DAC | WRITE_OWNER | DELETE
            : 0;
    struct Row {
        const char* owner;
        PSID sid;
        ACCESS_MASK notChecked;
    } rows[] = {{"Administrators", administrators, 0}, {"the user", userSid, kWineOwnerRights}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.owner);
        EXPECT_EQ(Granted(descriptor, row.sid, administrator), static_cast<ACCESS_MASK>(FILE_ALL_ACCESS));
        EXPECT_EQ(Granted(descriptor, row.sid, user) & ~row.notChecked, kReadListRun);
    }
    FreeSid(administrators);
    CloseHandle(user);
    CloseHandle(administrator);
    LocalFree(descriptor);
}

// Only an administrator's token makes the directory the administrators' own;
// an elevated Backup Operator, say, keeps full control of it, under a high
// label that the user's programs of medium integrity cannot write past.
TEST(WorkDirSecurity, ListFollowsElevationAndMembershipOfAdministrators)
{
    // High integrity; no write up; inherited by files and folders.
    const wchar_t kHighNoWriteUp[] = L"S-1-16-12288 0x1 0x3";
    const ACCESS_MASK kReadListRun = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
    struct Row {
        int elevated;
        int administrator;
        bool made;  // false: the default security
        ACCESS_MASK administrators;  // granted to a token with the group, and without
        ACCESS_MASK user;
        const wchar_t* label;
    };
    const Row rows[] = {
        {0, 0, false, 0, 0, L""},
        {0, 1, false, 0, 0, L""},
        {1, 1, true, FILE_ALL_ACCESS, kReadListRun, L""},
        {1, 0, true, FILE_ALL_ACCESS, FILE_ALL_ACCESS, kHighNoWriteUp},
    };
    std::wstring user = UserSid();
    ASSERT_FALSE(user.empty());
    HANDLE withGroup = TokenOf(true), withoutGroup = TokenOf(false);
    ASSERT_NE(withGroup, nullptr);
    ASSERT_NE(withoutGroup, nullptr);
    PSID administrators = AdministratorsSid();
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "elevated " << row.elevated << ", administrator " << row.administrator);
        const wchar_t* format = WorkDirListFormat(row.elevated, row.administrator);
        EXPECT_EQ(format != nullptr, row.made);
        if (format == nullptr)
            continue;
        wchar_t text[512];
        wsprintfW(text, format, user.c_str());
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &descriptor, nullptr));
        EXPECT_EQ(Granted(descriptor, administrators, withGroup), row.administrators);
        EXPECT_EQ(Granted(descriptor, administrators, withoutGroup), row.user);
        EXPECT_EQ(LabelOf(descriptor), row.label);
        LocalFree(descriptor);
    }
    FreeSid(administrators);
    CloseHandle(withoutGroup);
    CloseHandle(withGroup);
}
