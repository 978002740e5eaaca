// The process entry and the whole launch sequence, top to bottom, on the only thread.
#include <windows.h>
#include <shlwapi.h>

#include <stdint.h>

#include "launcher/ansi_path.h"
#include "launcher/instance.h"
#include "launcher/messages.h"
#include "launcher/profile_resource.h"
#include "launcher/work_dir_security.h"
#include "package/payload.h"
#include "package/progress_window.h"
#include "selection/target.h"
#include "sizes.h"

namespace {

const char kPackageExtension[] = ".upd";
// The temporary directory path plus "UPD" and eight digits.
const unsigned kWorkDirNameLength = 11;

// Restricts later DLL loads to the system directory, so that a DLL planted
// beside a launcher in a downloads folder is never loaded into an elevated
// process. Resolved at run time: systems without the call still start.
void HardenDllSearch()
{
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    SetDefaultDllDirectoriesFn restrictSearch = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(KernelProcedure("SetDefaultDllDirectories")));
    if (restrictSearch != nullptr)
        restrictSearch(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// The common controls are loaded here rather than imported: an imported
// library, and what it loads, is resolved before the search is restricted.
// The manifest's activation context still selects version 6.
void InitCommonControlsFromSystem()
{
    typedef void(WINAPI * InitCommonControlsFn)();
    HMODULE controls = LoadLibraryA("comctl32.dll");
    if (controls == nullptr)
        return;
    InitCommonControlsFn initialise =
        reinterpret_cast<InitCommonControlsFn>(reinterpret_cast<void*>(GetProcAddress(controls, "InitCommonControls")));
    if (initialise != nullptr)
        initialise();
}

// Appends text, cut so that buffer (size characters) always stays terminated.
void AppendBounded(char* buffer, unsigned size, const char* text)
{
    unsigned used = static_cast<unsigned>(lstrlenA(buffer));
    if (used + 1 < size)
        lstrcpynA(buffer + used, text, size - used);
}

// Creates the first free UPD%08X directory in the temporary directory. Fails,
// rather than searching on, when the names would be cut: cut names repeat and
// no free one would ever be found. The temporary directory is taken in UTF-16
// and spelled exactly, or by its short form, never by a look-alike. In an
// elevated run only elevated programs may write there (WorkDirSecurity).
int CreateWorkDirectory(char* workDir)
{
    for (uint32_t n = 0;; ++n) {
        wchar_t temp[kPathSize];
        DWORD length = GetTempPathW(kPathSize, temp);
        if (length == 0 || length >= kPathSize || !SpellPath(temp, CP_ACP, workDir)
            || lstrlenA(workDir) + kWorkDirNameLength > kPathSize - 1)
            return 0;
        char name[16];
        wsprintfA(name, "UPD%08X", n);
        AppendBounded(workDir, kPathSize, name);
        if (!PathFileExistsA(workDir))
            break;
        if (n == 0xFFFFFFFFu)
            return 0;
    }
    PSECURITY_DESCRIPTOR descriptor;
    if (!WorkDirSecurity(&descriptor))
        return 0;
    // A directory another program made since the name test makes creation
    // fail, so it is never used.
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    BOOL created = CreateDirectoryA(workDir, &attributes);
    LocalFree(descriptor);
    return created ? 1 : 0;
}

// Held open without delete sharing until the process ends, the work directory
// cannot be moved, renamed or removed while the package is written, the user
// chooses and the updater starts. Files inside open as before. Listing access,
// since an open for attributes alone takes no part in sharing. Not inherited.
HANDLE HoldDirectory(const char* dir)
{
    return CreateFileA(dir, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The work directory, a backslash, the launcher's own name without its
// extension, ".upd". The name is the long one wherever the code page spells
// it, even below a folder that it cannot spell; else the short name's. 0 when
// the launcher cannot name its own file in the code page.
int FormPackagePath(const char* workDir, char* packagePath)
{
    wchar_t ownWide[kPathSize];
    char ownPath[kPathSize];
    char ownName[kPathSize];
    if (!GetOwnPath(ownWide))
        return 0;
    if (!SpellExactly(PathFindFileNameW(ownWide), CP_ACP, ownName)) {
        if (!SpellPath(ownWide, CP_ACP, ownPath))
            return 0;
        lstrcpyA(ownName, PathFindFileNameA(ownPath));
    }
    PathRemoveExtensionA(ownName);
    lstrcpynA(packagePath, workDir, kPathSize);
    AppendBounded(packagePath, kPathSize, "\\");
    AppendBounded(packagePath, kPathSize, ownName);
    AppendBounded(packagePath, kPathSize, kPackageExtension);
    return 1;
}

void AppendQuoted(char* commandLine, const char* separator, const char* text)
{
    AppendBounded(commandLine, kCommandLineSize, separator);
    AppendBounded(commandLine, kCommandLineSize, "\"");
    AppendBounded(commandLine, kCommandLineSize, text);
    AppendBounded(commandLine, kCommandLineSize, "\"");
}

// Starts the installation's updater with the installation and work directories
// and does not wait for it. A failure is reported with the system's reason,
// in a box owned by owner, the progress window where it showed.
void StartUpdater(const char* installPath, const char* workDir, HWND owner)
{
    char updaterPath[kPathSize];
    char updaterName[kPathSize];
    char option[kPathSize];
    // The check found the updater under this name, so the code page spells it.
    if (!SpellExactly(ProfileValue(kProfileUpdater), CP_ACP, updaterName)
        || !SpellExactly(ProfileValue(kProfileUpdaterOption), CP_ACP, option)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        ReportLaunchError(owner);
        return;
    }
    lstrcpynA(updaterPath, installPath, kPathSize);
    if (!PathAppendA(updaterPath, updaterName)) {
        // A path too long to join must not start whatever the buffer now names.
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        ReportLaunchError(owner);
        return;
    }
    char commandLine[kCommandLineSize] = "";
    AppendQuoted(commandLine, "", updaterPath);
    AppendBounded(commandLine, kCommandLineSize, " ");
    AppendBounded(commandLine, kCommandLineSize, option);
    AppendQuoted(commandLine, " ", installPath);
    AppendQuoted(commandLine, " ", workDir);

    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(updaterPath, commandLine, nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr,
                        nullptr, &startup, &process)) {
        ReportLaunchError(owner);
        return;
    }
    // Windows lets only the foreground process, or one it names, bring a
    // window to the front. While its progress window is up the launcher is
    // that process, but the window goes as it exits, before the updater has
    // one: named here, the updater may take the foreground when its window comes.
    AllowSetForegroundWindow(process.dwProcessId);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace

// Never returns: every path ends the process with exit code 0.
extern "C" void WINAPI RunLauncher()
{
    char* installPath = nullptr;
    HANDLE heldWorkDir = INVALID_HANDLE_VALUE;
    char workDir[kPathSize];
    char packagePath[kPathSize];
    // Lives as long as its window, whose button writes into it.
    ExtractionProgress progress = {};
    int extracted;
    int choice;
    HANDLE ownMutex = nullptr;

    HardenDllSearch();
    // Every name below is the profile's. A profile that cannot be read is a
    // damaged launcher, reported as a damaged package is.
    if (!LoadProfile()) {
        ShowMessage(MSG_EXTRACT_FAILED, nullptr);
        goto finish;
    }
    ownMutex = CreateMutexW(nullptr, TRUE, ProfileValue(kProfileLauncherMutex));
    if (ownMutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        ShowMessage(MSG_ALREADY_RUNNING, nullptr);
        goto finish;
    }
    {
        // Only a successful open means an update is running; access denied does not.
        HANDLE updateMutex = OpenMutexW(SYNCHRONIZE, FALSE, ProfileValue(kProfileUpdateMutex));
        if (updateMutex != nullptr) {
            CloseHandle(updateMutex);
            ShowMessage(MSG_ALREADY_RUNNING, nullptr);
            goto finish;
        }
    }
    g_hInstance = GetModuleHandleA(nullptr);
    InitCommonControlsFromSystem();

    if (CreateWorkDirectory(workDir))
        heldWorkDir = HoldDirectory(workDir);
    if (heldWorkDir == INVALID_HANDLE_VALUE) {
        ShowMessage(MSG_TEMP_DIR_FAILED, nullptr);
        goto finish;
    }
    // From here on the work directory stays: it is the updater's, or evidence after a failure.
    // A progress window stays until the process ends, and every box after it
    // is owned by it: the chooser or a report comes up in front while it holds
    // the foreground, and the window can never cover them.
    extracted =
        FormPackagePath(workDir, packagePath) ? ExtractPayload(workDir, packagePath, &progress) : kExtractFailed;
    if (extracted == kExtractFailed)
        ShowMessage(MSG_EXTRACT_FAILED, progress.window);
    // A cancel in the progress window ends the run as quietly as one in the chooser.
    if (extracted != kExtractDone)
        goto finish;
    choice = ChooseTarget(&installPath, packagePath, progress.window);
    if (choice < 0)
        ShowMessage(MSG_NO_INSTALLATION, progress.window);
    else if (choice == 0)
        StartUpdater(installPath, workDir, progress.window);
    if (installPath != nullptr)
        HeapFree(GetProcessHeap(), 0, installPath);

finish:
    EndProgress(&progress);
    if (heldWorkDir != INVALID_HANDLE_VALUE)
        CloseHandle(heldWorkDir);
    if (ownMutex != nullptr)
        CloseHandle(ownMutex);
    ExitProcess(0);
}
