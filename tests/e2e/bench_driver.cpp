// Times one program start, or one file copy, under Wine and prints the milliseconds:
//   bench_driver box EXE TEMPDIR         until EXE shows a report (then closes it)
//   bench_driver extract EXE TEMPDIR     the same, but prints the copy's own time: from the
//                                        package file's creation to its last byte, seen
//                                        from outside, so the process's start is not in it
//   bench_driver hold EXE TEMPDIR MARK   the same, then creates MARK and closes the
//                                        window only once MARK is gone, so that the
//                                        caller can read the process's peak memory
//   bench_driver file EXE TEMPDIR LOG    until the file LOG appears; a chooser that
//                                        shows up meanwhile gets its first item at once,
//                                        a report instead ends the run with its text
// A run that does not end within five minutes is ended, and gives no figure (exit 1).
//   bench_driver exit EXE TEMPDIR        until EXE has exited
//   bench_driver copy FROM TO            CopyFileW, as a user copies a launcher
//   bench_driver crc                     the package checksum's throughput in MB/s on
//                                        every path the processor has, the fastest first
//   bench_driver window                  the progress window's cost: made, shown and
//                                        painted, then destroyed (two figures)
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "launcher/instance.h"
#include "package/checksum.h"
#include "package/image_layout.h"
#include "package/progress_window.h"
#include "window_driver.h"

namespace {

const DWORD kTimeoutMs = 300000;
const wchar_t kChooserCaption[] = L"Вибір каталога програми";
const wchar_t kReportCaption[] = L"Увага";
const int kChooserList = 1001;

double Now()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool Exists(const wchar_t* path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// A report the launcher shows instead of starting the updater, read and closed;
// false when there is none.
bool TakeReport(DWORD pid)
{
    for (const wchar_t* caption : {L"Увага", L"Увага!"}) {
        HWND box = WaitForDialog(pid, 1, caption);
        if (box == nullptr)
            continue;
        SeenBox seen = ReadAndCloseBox(box);
        std::wstring report = L"the launcher showed \"" + seen.caption + L"\": " + seen.text + L"\n";
        std::string utf8(report.size() * 3, '\0');
        utf8.resize(WideCharToMultiByte(CP_UTF8, 0, report.c_str(), static_cast<int>(report.size()), &utf8[0],
                                        static_cast<int>(utf8.size()), nullptr, nullptr));
        fputs(utf8.c_str(), stderr);
        return true;
    }
    return false;
}

// Waits for LOG, answering the chooser the way a user in a hurry would; false
// when a report comes instead, or nothing within the time limit.
bool WaitForLog(DWORD pid, const wchar_t* log, double start)
{
    while (!Exists(log)) {
        if (Now() - start > kTimeoutMs || TakeReport(pid))
            return false;
        HWND chooser = WaitForDialog(pid, 1, kChooserCaption);
        if (chooser != nullptr) {
            SendMessageW(GetDlgItem(chooser, kChooserList), LB_SETCURSEL, 0, 0);
            PostMessageW(chooser, WM_COMMAND, IDOK, 0);
            WaitUntilGone(chooser, kTimeoutMs);
        }
    }
    return true;
}

// The bytes the launcher exe will write, as it plans them from its headers; 0 when it cannot.
uint32_t PlannedLength(const wchar_t* exe)
{
    const DWORD kHeaderPage = 4096;
    uint8_t headers[kHeaderPage] = {};
    DWORD read = 0;
    LARGE_INTEGER size = {};
    PayloadPlan plan = {};
    HANDLE file = CreateFileW(exe, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    bool planned = ReadFile(file, headers, kHeaderPage, &read, nullptr) && GetFileSizeEx(file, &size)
                   && PlanPayload(headers, read, size.LowPart, &plan);
    CloseHandle(file);
    return planned ? plan.length : 0;
}

// Watches the package file that the launcher exe writes into its first work
// directory under tempDir, and gives the milliseconds from its creation until
// it holds every planned byte; -1 when that does not happen in time.
double TimeCopy(const wchar_t* exe, const std::wstring& tempDir, double start)
{
    std::wstring name = exe;
    name = name.substr(name.find_last_of(L"\\/:") + 1);
    std::wstring package = tempDir + L"\\UPD00000000\\" + name.substr(0, name.find_last_of(L'.')) + L".upd";
    uint32_t length = PlannedLength(exe);
    WIN32_FILE_ATTRIBUTE_DATA seen;
    double created = -1;
    while (Now() - start < kTimeoutMs) {
        if (GetFileAttributesExW(package.c_str(), GetFileExInfoStandard, &seen)) {
            if (created < 0)
                created = Now();
            if (seen.nFileSizeHigh != 0 || seen.nFileSizeLow >= length)
                return Now() - created;
        }
        Sleep(1);
    }
    return -1;
}

double TimeRun(const std::wstring& mode, int argc, wchar_t** argv)
{
    std::wstring environment = EnvironmentWithTemp(argv[3]);
    std::wstring commandLine = L"\"" + std::wstring(argv[2]) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    double start = Now();
    if (!CreateProcessW(argv[2], &commandLine[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        &environment[0], nullptr, &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    double elapsed = -1;
    if ((mode == L"box" || mode == L"hold" || mode == L"extract") && argc > 3) {
        double copied = mode == L"extract" ? TimeCopy(argv[2], argv[3], start) : 0;
        // The report that ends an extraction, not the progress window that may come before it.
        HWND box = WaitForDialog(process.dwProcessId, kTimeoutMs, kReportCaption);
        if (box != nullptr)
            elapsed = mode == L"extract" ? copied : Now() - start;
        if (mode == L"hold" && argc > 4) {
            CloseHandle(CreateFileW(argv[4], GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
            while (Exists(argv[4]) && Now() - start < kTimeoutMs)
                Sleep(10);
        }
        if (box != nullptr)
            ReadAndCloseBox(box);
    } else if (mode == L"file" && argc > 4) {
        if (WaitForLog(process.dwProcessId, argv[4], start))
            elapsed = Now() - start;
    } else {
        WaitForSingleObject(process.hProcess, kTimeoutMs);
        elapsed = Now() - start;
    }
    // A launcher still running past the limit would keep the caller waiting on it.
    if (WaitForSingleObject(process.hProcess, kTimeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        elapsed = -1;
    }
    CloseHandle(process.hProcess);
    return elapsed;
}

// Throughput over 256 MiB held in memory, so that only the checksum is timed;
// then over the same bytes taken as the launcher takes them, a 256 KiB piece
// that its read has just brought into the cache, each piece checked twice and
// the second time timed.
void PrintChecksumThroughput()
{
    const uint32_t kBytes = 256u << 20;
    const uint32_t kPiece = 256u << 10;
    std::vector<uint8_t> bytes(kBytes);
    for (uint32_t i = 0; i < kBytes; ++i)
        bytes[i] = static_cast<uint8_t>((i * 2654435761u) >> 24);
    const char* const kPathNames[] = {"table", "instruction", "folding"};
    Crc32c crc;
    Crc32cInit(&crc);
    for (; crc.path >= kCrc32cTable; --crc.path) {
        double start = Now();
        uint32_t value = Crc32cUpdate(&crc, 0, bytes.data(), kBytes);
        double elapsed = Now() - start;
        double cached = 0;
        for (uint32_t at = 0; at < kBytes; at += kPiece) {
            Crc32cUpdate(&crc, 0, bytes.data() + at, kPiece);
            double piece = Now();
            Crc32cUpdate(&crc, 0, bytes.data() + at, kPiece);
            cached += Now() - piece;
        }
        printf("%s: %.0f MB/s, %.0f MB/s on a piece in cache (%08X)\n", kPathNames[crc.path], kBytes / 1000.0 / elapsed,
               kBytes / 1000.0 / cached, value);
    }
}

// As the launcher pays for it: made, shown and painted by the first feed
// after the copy has run past half a second, then destroyed at its end.
void PrintWindowCost()
{
    g_hInstance = GetModuleHandleW(nullptr);
    InitCommonControls();
    ExtractionProgress progress;
    BeginProgress(&progress);
    progress.started -= 1000;
    double start = Now();
    FeedProgress(&progress, 1, 2);
    double shown = Now();
    if (progress.window == nullptr)
        shown = start - 1;
    EndProgress(&progress);
    printf("%.1f %.1f\n", shown - start, Now() - shown);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 2 && std::wstring(argv[1]) == L"crc") {
        PrintChecksumThroughput();
        return 0;
    }
    if (argc == 2 && std::wstring(argv[1]) == L"window") {
        PrintWindowCost();
        return 0;
    }
    if (argc < 4)
        return 2;
    std::wstring mode = argv[1];
    double elapsed = -1;
    if (mode == L"copy") {
        double start = Now();
        if (CopyFileW(argv[2], argv[3], FALSE))
            elapsed = Now() - start;
    } else {
        elapsed = TimeRun(mode, argc, argv);
    }
    printf("%.1f\n", elapsed);
    return elapsed < 0 ? 1 : 0;
}
