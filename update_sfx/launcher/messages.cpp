// The message catalogue. Texts are shown as UTF-16 so they read correctly on
// every system code page, not only on 1251.
#include "launcher/messages.h"

#define CAPTION_WARNING L"Увага"
#define CAPTION_ATTENTION L"Увага!"

const Message MSG_ALREADY_RUNNING = {
    L"Оновлення вже виконується.\r\nПочекайте закінчення роботи поновлення.", CAPTION_ATTENTION, MB_ICONERROR};
const Message MSG_TEMP_DIR_FAILED = {L"Помилка стровення тимчасового каталога!", CAPTION_WARNING, MB_ICONERROR};
const Message MSG_EXTRACT_FAILED = {L"Помилка розпакування оновлення!", CAPTION_WARNING, MB_ICONERROR};
const Message MSG_NO_INSTALLATION = {L"Не знайдено жодної копії програми!", CAPTION_WARNING, MB_ICONERROR};
const Message MSG_LAUNCH_FAILED = {L"Помилка запуска програми оновлення!", CAPTION_WARNING, MB_ICONERROR};
const Message MSG_BAD_PACKAGE = {
    L"Помилка визначення версії оновлення!\nФайл оновлення пошкоджено!", CAPTION_ATTENTION, MB_ICONERROR};
const Message MSG_WRONG_VERSION = {L"Встановлення на цю версію неможливе!", CAPTION_ATTENTION, MB_ICONWARNING};

void ShowMessage(const Message& message, HWND owner)
{
    MessageBoxW(owner, message.text, message.caption, message.icon);
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
    int length = lstrlenW(description) + lstrlenW(MSG_LAUNCH_FAILED.text) + 40;
    wchar_t* report = static_cast<wchar_t*>(LocalAlloc(LPTR, length * sizeof(wchar_t)));
    if (report != nullptr) {
        wsprintfW(report, L"%s\n0x%X: %s", MSG_LAUNCH_FAILED.text, error, description);
        MessageBoxW(owner, report, MSG_LAUNCH_FAILED.caption, MSG_LAUNCH_FAILED.icon);
        LocalFree(report);
    } else {
        ShowMessage(MSG_LAUNCH_FAILED, owner);
    }
    if (systemText != nullptr)
        LocalFree(systemText);
}
