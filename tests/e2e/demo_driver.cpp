// Plays the user in the demonstration: starts the launcher, watches its
// progress window, waits for the chooser, tries a copy the package does not
// fit, then one it fits. At each screen it leaves a marker file and waits for
// the screenshot to be taken.
#include <windows.h>

#include <stdio.h>

#include <string>

#include "window_driver.h"

namespace {

std::wstring g_markers;

void Pause(const wchar_t* name)
{
    std::wstring marker = g_markers + L"\\" + name;
    CloseHandle(CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    std::wstring done = marker + L".done";
    for (int i = 0; i < 600 && GetFileAttributesW(done.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(50);
}

int FindItem(HWND list, const std::wstring& version)
{
    int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[512] = {};
        if (SendMessageW(list, LB_GETTEXTLEN, i, 0) < 511)
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        if (std::wstring(text).compare(0, version.size(), version) == 0)
            return i;
    }
    return -1;
}

}  // namespace

// demo_driver LAUNCHER TEMPDIR MARKERDIR REFUSEDVERSION ACCEPTEDVERSION
int wmain(int argc, wchar_t** argv)
{
    if (argc != 6)
        return 2;
    g_markers = argv[3];
    std::wstring environment = EnvironmentWithTemp(argv[2]);
    std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(argv[1], &commandLine[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        &environment[0], nullptr, &startup, &process)) {
        wprintf(L"cannot start the launcher: %lu\n", GetLastError());
        return 1;
    }
    // The launcher stands still for the progress window's screenshot, so
    // the picture does not depend on how fast the medium is.
    HWND progress = WaitForDialog(process.dwProcessId, 20000, L"Розпакування оновлення");
    if (progress != nullptr) {
        Sleep(300);
        SuspendThread(process.hThread);
        Pause(L"progress");
        ResumeThread(process.hThread);
    } else {
        wprintf(L"the progress window did not appear\n");
    }
    CloseHandle(process.hThread);

    HWND chooser = WaitForDialog(process.dwProcessId, 20000, L"Вибір каталога програми");
    if (chooser == nullptr) {
        wprintf(L"the chooser did not appear\n");
        return 1;
    }
    HWND list = GetDlgItem(chooser, 1001);
    Pause(L"chooser");

    SendMessageW(list, LB_SETCURSEL, FindItem(list, argv[4]), 0);
    PostMessageW(chooser, WM_COMMAND, IDOK, 0);
    HWND warning = WaitForDialog(process.dwProcessId, 10000, L"Увага!", chooser);
    if (warning != nullptr) {
        Sleep(300);
        Pause(L"warning");
        ReadAndCloseBox(warning);
        WaitUntilGone(warning, 5000);
    }

    SendMessageW(list, LB_SETCURSEL, FindItem(list, argv[5]), 0);
    PostMessageW(chooser, WM_COMMAND, IDOK, 0);
    WaitForSingleObject(process.hProcess, 20000);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    wprintf(L"launcher exit code: %lu\n", code);
    return 0;
}
