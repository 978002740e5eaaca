// The message catalogue: each report's text and caption from the profile, and
// its icon. Texts are shown as UTF-16 so they read correctly on every system
// code page, not only on 1251.
#include "launcher/messages.h"

#include "launcher/profile_resource.h"

const Message MSG_ALREADY_RUNNING = {kProfileAlreadyRunning, kProfileCaptionAttention, MB_ICONERROR};
const Message MSG_TEMP_DIR_FAILED = {kProfileTempDirFailed, kProfileCaptionWarning, MB_ICONERROR};
const Message MSG_EXTRACT_FAILED = {kProfileExtractFailed, kProfileCaptionWarning, MB_ICONERROR};
const Message MSG_NO_INSTALLATION = {kProfileNoInstallation, kProfileCaptionWarning, MB_ICONERROR};
const Message MSG_LAUNCH_FAILED = {kProfileLaunchFailed, kProfileCaptionWarning, MB_ICONERROR};
const Message MSG_BAD_PACKAGE = {kProfileBadPackage, kProfileCaptionAttention, MB_ICONERROR};
const Message MSG_WRONG_VERSION = {kProfileWrongVersion, kProfileCaptionAttention, MB_ICONWARNING};

void ShowMessage(const Message& message, HWND owner)
{
    MessageBoxW(owner, ProfileValue(message.text), ProfileValue(message.caption), message.icon);
}

void ReportLaunchError(HWND owner)
{
    DWORD error = GetLastError();
    wchar_t* systemText = nullptr;
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                   nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&systemText),
                   0, nullptr);
    // Without a system text the report still names the code.
    const wchar_t* description = systemText != nullptr ? systemText : L"";
    const wchar_t* text = ProfileValue(MSG_LAUNCH_FAILED.text);
    int length = lstrlenW(description) + lstrlenW(text) + 40;
    wchar_t* report = static_cast<wchar_t*>(LocalAlloc(LPTR, length * sizeof(wchar_t)));
    if (report != nullptr) {
        wsprintfW(report, L"%s\n0x%X: %s", text, error, description);
        MessageBoxW(owner, report, ProfileValue(MSG_LAUNCH_FAILED.caption), MSG_LAUNCH_FAILED.icon);
        LocalFree(report);
    } else {
        ShowMessage(MSG_LAUNCH_FAILED, owner);
    }
    if (systemText != nullptr)
        LocalFree(systemText);
}
