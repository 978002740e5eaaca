// The access list of an elevated run's work directory. Under Wine every process
// runs elevated, and Wine neither enforces nor (on these machines) stores access
// lists, so the descriptor is read as built, not from the disk.
#include "launcher/work_dir_security.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <string>

TEST(WorkDirSecurity, ElevatedRunGivesSystemAndAdministratorsFullControlAndTheUserReadOnly)
{
    HANDLE token;
    DWORD tokenUser[32], size;
    wchar_t *user = nullptr, *list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, tokenUser, sizeof tokenUser, &size));
    CloseHandle(token);
    ASSERT_TRUE(ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(tokenUser)->User.Sid, &user));
    ASSERT_EQ(WorkDirSecurity(&descriptor), 1);
    ASSERT_NE(descriptor, nullptr) << "the process runs elevated";
    ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                                     DACL_SECURITY_INFORMATION, &list, nullptr));
    EXPECT_EQ(std::wstring(list), L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;" + std::wstring(user) + L")");
    LocalFree(list);
    LocalFree(descriptor);
    LocalFree(user);
}
