// End-to-end harness for the launcher under Wine.
#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>

std::wstring FromUtf8(const std::string& text)
{
    int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(size, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &out[0], size);
    out.resize(size > 0 ? size - 1 : 0);
    return out;
}

std::wstring ExpectedCommandLine(const std::string& installation, const std::string& workDir)
{
    std::string updater = installation + (installation.back() == '\\' ? "" : "\\") + "update.exe";
    return WidePath("\"" + updater + "\" /UL \"" + installation + "\" \"" + workDir + "\"");
}

std::string StubBytes()
{
    return ReadBytes(kStubPath);
}

std::string MakeLauncher(const std::string& dir, const std::string& name, const std::string& payload)
{
    std::string path = dir + "\\" + name;
    WriteBytes(path, StubBytes() + payload);
    return path;
}

std::string MakeInstallation(const std::string& dir, const std::string& version)
{
    MakeInstallation(WidePath(dir), version);
    return dir;
}

void MakeInstallation(const std::wstring& dir, const std::string& version)
{
    MakeDir(dir);
    MakeDir(dir + L"\\config");
    WriteBytes(dir + L"\\config\\global.xml", ConfigXml("LOCAL", version));
    CopyFileW(WidePath(kFakeUpdaterPath).c_str(), (dir + L"\\update.exe").c_str(), FALSE);
}

std::vector<std::string> UpdaterLog(const std::string& installation, DWORD timeoutMs)
{
    return UpdaterLog(WidePath(installation), timeoutMs);
}

std::vector<std::string> UpdaterLog(const std::wstring& installation, DWORD timeoutMs)
{
    std::wstring path = installation + L"\\updater_log.txt";
    DWORD start = GetTickCount();
    while (!Exists(path)) {
        if (GetTickCount() - start > timeoutMs)
            return {};
        Sleep(20);
    }
    // The updater writes the whole log in one call; wait until it has closed the file.
    std::string text;
    while ((text = ReadBytes(path)).empty() || text.back() != '\n') {
        if (GetTickCount() - start > timeoutMs)
            break;
        Sleep(20);
    }
    std::vector<std::string> lines;
    size_t begin = 0;
    for (size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1)
        lines.push_back(text.substr(begin, end - begin));
    return lines;
}

std::vector<std::string> WorkEntries(const std::string& dir)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\UPD*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            names.push_back(found.cFileName);
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    std::sort(names.begin(), names.end());
    return names;
}

LauncherRun::LauncherRun(const std::string& launcher, const std::string& tempDir,
                         const std::vector<std::wstring>& extra)
    : LauncherRun(WidePath(launcher), WidePath(tempDir), extra)
{
}

LauncherRun::LauncherRun(const std::wstring& application, const std::wstring& tempDir,
                         const std::vector<std::wstring>& extra)
{
    std::wstring environment = EnvironmentWithTemp(tempDir, extra);
    std::wstring commandLine = L"\"" + application + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(application.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                       &environment[0], nullptr, &startup, &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        pid_ = info.dwProcessId;
    }
    EXPECT_NE(process_, nullptr) << application << " error " << GetLastError();
}

LauncherRun::~LauncherRun()
{
    if (process_ == nullptr)
        return;
    // A test that failed half-way must not leave a launcher holding its mutex.
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT)
        TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
    CloseHandle(process_);
}

SeenBox LauncherRun::NextBox(const std::wstring& caption, HWND exclude)
{
    HWND box = WaitForDialog(pid_, 15000, caption, exclude);
    // A slow copy's progress window comes first and is no message box.
    if (box != nullptr && WindowText(box) == kProgressCaption)
        box = WaitForDialog(pid_, 15000, caption, box);
    EXPECT_NE(box, nullptr) << "no message box appeared";
    if (box == nullptr)
        return SeenBox{L"<none>", L"<none>", nullptr, false};
    // The box's text control is filled while the box is created; let it finish.
    for (int i = 0; i < 50 && MessageBoxText(box).empty(); ++i)
        Sleep(20);
    SeenBox seen = ReadAndCloseBox(box);
    WaitUntilGone(box, 5000);
    return seen;
}

HWND LauncherRun::WaitForChooser()
{
    HWND chooser = WaitForDialog(pid_, 15000, kChooserCaption);
    EXPECT_NE(chooser, nullptr) << "the chooser did not appear";
    return chooser;
}

DWORD LauncherRun::Wait(DWORD timeoutMs)
{
    if (process_ == nullptr || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_, &code);
    return code;
}

bool LauncherRun::ShowsNothingFor(DWORD ms)
{
    return WaitForDialog(pid_, ms) == nullptr;
}

HWND LauncherRun::WaitForProgress()
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000;) {
        HWND progress = WaitForDialog(pid_, 10, kProgressCaption);
        if (progress != nullptr || Wait(0) != STILL_ACTIVE)
            return progress;
    }
    return nullptr;
}

std::vector<std::wstring> ChooserItems(HWND chooser)
{
    HWND list = GetDlgItem(chooser, 1001);
    std::vector<std::wstring> items;
    int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[512] = {};
        if (SendMessageW(list, LB_GETTEXTLEN, i, 0) < 511)
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

void SelectItem(HWND chooser, int index)
{
    SendMessageW(GetDlgItem(chooser, 1001), LB_SETCURSEL, index, 0);
}

void PressButton(HWND dialog, int id)
{
    PostMessageW(dialog, WM_COMMAND, id, 0);
}

void PressKey(HWND window, UINT key)
{
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    HWND target = window;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread) && thread.hwndFocus != nullptr)
        target = thread.hwndFocus;
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}
