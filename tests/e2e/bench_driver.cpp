// Times one program start under Wine and prints the milliseconds:
//   bench_driver box EXE TEMPDIR      until EXE shows a window (then closes it)
//   bench_driver file EXE TEMPDIR LOG until the file LOG appears
//   bench_driver exit EXE TEMPDIR     until EXE has exited
#include <windows.h>

#include <stdio.h>

#include <string>

#include "window_driver.h"

namespace {

double Now()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4)
        return 2;
    std::wstring mode = argv[1];
    std::wstring environment = EnvironmentWithTemp(argv[3]);
    std::wstring commandLine = L"\"" + std::wstring(argv[2]) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    double start = Now();
    if (!CreateProcessW(argv[2], &commandLine[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        &environment[0], nullptr, &startup, &process))
        return 1;
    CloseHandle(process.hThread);
    double elapsed = -1;
    if (mode == L"box") {
        HWND box = WaitForDialog(process.dwProcessId, 120000);
        elapsed = Now() - start;
        if (box != nullptr)
            ReadAndCloseBox(box);
    } else if (mode == L"file" && argc > 4) {
        while (GetFileAttributesW(argv[4]) == INVALID_FILE_ATTRIBUTES && Now() - start < 120000)
            Sleep(1);
        elapsed = Now() - start;
    } else {
        WaitForSingleObject(process.hProcess, 120000);
        elapsed = Now() - start;
    }
    WaitForSingleObject(process.hProcess, 120000);
    CloseHandle(process.hProcess);
    printf("%.1f\n", elapsed);
    return 0;
}
