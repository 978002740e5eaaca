// The access list of an elevated run's work directory. Under Wine every process
// runs elevated as an administrator, and Wine neither enforces nor (on these
// machines) stores access lists, so the descriptor is read as built, not from
// the disk, and the other kinds of token are rows of the list's choice.
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

// The access list of a descriptor, as text.
std::wstring ListOf(PSECURITY_DESCRIPTOR descriptor)
{
    wchar_t* list = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                              &list, nullptr))
        return L"<none>";
    std::wstring text = list;
    LocalFree(list);
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

}  // namespace

TEST(WorkDirSecurity, ElevatedRunGivesSystemAndAdministratorsFullControlAndTheUserReadOnly)
{
    std::wstring user = UserSid();
    ASSERT_FALSE(user.empty());
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(WorkDirSecurity(&descriptor), 1);
    ASSERT_NE(descriptor, nullptr) << "the process runs elevated";
    EXPECT_EQ(ListOf(descriptor), L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;OW)(A;OICI;0x1200a9;;;" + user + L")");
    LocalFree(descriptor);
}

// Only an administrator's token makes the directory the administrators' own;
// an elevated Backup Operator, say, keeps full control of it, under a high
// label that the user's programs of medium integrity cannot write past.
TEST(WorkDirSecurity, ListFollowsElevationAndMembershipOfAdministrators)
{
    // High integrity; no write up; inherited by files and folders.
    const wchar_t kHighNoWriteUp[] = L"S-1-16-12288 0x1 0x3";
    struct Row {
        int elevated;
        int administrator;
        const wchar_t* list;  // with %s for the user; nullptr: the default security
        const wchar_t* label;
    };
    const Row rows[] = {
        {0, 0, nullptr, L""},
        {0, 1, nullptr, L""},
        {1, 1, L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;OW)(A;OICI;0x1200a9;;;%s)", L""},
        {1, 0, L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;%s)", kHighNoWriteUp},
    };
    std::wstring user = UserSid();
    ASSERT_FALSE(user.empty());
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "elevated " << row.elevated << ", administrator " << row.administrator);
        const wchar_t* format = WorkDirListFormat(row.elevated, row.administrator);
        if (row.list == nullptr) {
            EXPECT_EQ(format, nullptr);
            continue;
        }
        ASSERT_NE(format, nullptr);
        wchar_t text[512];
        wsprintfW(text, format, user.c_str());
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &descriptor, nullptr));
        std::wstring expected = row.list;
        expected.replace(expected.find(L"%s"), 2, user);
        EXPECT_EQ(ListOf(descriptor), expected);
        EXPECT_EQ(LabelOf(descriptor), row.label);
        LocalFree(descriptor);
    }
}
