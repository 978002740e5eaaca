// The end-to-end harness: real launchers built from the stub, a Wine registry
// with installations, real folders, and a person's view of the windows.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "installations.h"
#include "test_files.h"
#include "window_driver.h"

extern const char kStubPath[];
// The stub as shipped, 32-bit: kStubPath in a 32-bit build; empty where a
// 64-bit build was not told where to find it.
extern const char kShippedStubPath[];
extern const char kFakeUpdaterPath[];
extern const char kPlantedDllPath[];
extern const char kPlantProbePath[];

const wchar_t kChooserCaption[] = L"Вибір каталога програми";
const wchar_t kProgressCaption[] = L"Розпакування оновлення";

std::string StubBytes();

// A launcher: the stub with payload appended, written as dir\name.
std::string MakeLauncher(const std::string& dir, const std::string& name, const std::string& payload);

// A local installation folder: config\global.xml with the version and the
// recording fake updater as update.exe.
std::string MakeInstallation(const std::string& dir, const std::string& version);
void MakeInstallation(const std::wstring& dir, const std::string& version);

// What the fake updater recorded: its command line and working directory,
// waited for up to timeoutMs. Empty when it never ran.
std::vector<std::string> UpdaterLog(const std::string& installation, DWORD timeoutMs = 10000);
std::vector<std::string> UpdaterLog(const std::wstring& installation, DWORD timeoutMs = 10000);

// Names of the UPD work directories (and files) in dir, sorted.
std::vector<std::string> WorkEntries(const std::string& dir);

// One run of a launcher, with its own temporary directory.
class LauncherRun {
public:
    // extra: NAME=value entries that replace or add to the environment.
    LauncherRun(const std::string& launcher, const std::string& tempDir, const std::vector<std::wstring>& extra = {});
    LauncherRun(const std::wstring& launcher, const std::wstring& tempDir,
                const std::vector<std::wstring>& extra = {});
    ~LauncherRun();
    bool Started() const { return process_ != nullptr; }
    DWORD Pid() const { return pid_; }
    // The next message box with the caption (any caption when empty), read and closed.
    SeenBox NextBox(const std::wstring& caption = L"", HWND exclude = nullptr);
    HWND WaitForChooser();
    // Exit code, or STILL_ACTIVE after the timeout.
    DWORD Wait(DWORD timeoutMs = 20000);
    // True when no window of the launcher shows up within ms.
    bool ShowsNothingFor(DWORD ms);
    // The progress window, as soon as it shows; nullptr when the launcher ends without one.
    HWND WaitForProgress();

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

// The chooser's list items as shown, top to bottom.
std::vector<std::wstring> ChooserItems(HWND chooser);
void SelectItem(HWND chooser, int index);
void PressButton(HWND dialog, int id);
// A key pressed and released while window is in front: it reaches the control
// that has the focus in the window's thread, or the window itself.
void PressKey(HWND window, UINT key);

std::wstring FromUtf8(const std::string& text);

// The updater's command line for an installation and a work directory, as the
// launcher must form it.
std::wstring ExpectedCommandLine(const std::string& installation, const std::string& workDir);
