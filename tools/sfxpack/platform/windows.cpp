// The tool's files, signals and console on Windows: the calls platform/system.h
// names, and the few of file_io.h that differ whole.
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <string.h>
#include <sys/stat.h>
#include <windows.h>
#include <shellapi.h>

#include "platform/file_io.h"
#include "platform/system.h"

namespace {

// The console's handler runs on a thread of its own while the copy goes on.
// The lock keeps it from a temporary half created or half renamed and, never
// released by the handler, keeps the copy from starting another.
SRWLOCK g_pendingLock = SRWLOCK_INIT;

BOOL WINAPI OnConsoleControl(DWORD)
{
    HoldInterrupts();
    // Opened with delete sharing, the temporary goes when the process ends.
    RemovePending();
    // The default handler then ends the process with its usual status.
    return FALSE;
}

}  // namespace

int StatusOf(FILE* file, FileStatus* status)
{
    struct _stati64 system;
    if (_fstati64(_fileno(file), &system) != 0)
        return -1;
    status->mode = system.st_mode;
    status->size = system.st_size;
    return 0;
}

bool IsFolder(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The CRT leaves the system's code of a failed call in place; clearing it
// first keeps an older code from being taken for the reason.
void ForgetLastFailure()
{
    SetLastError(0);
}

std::string LastFailure()
{
    DWORD code = GetLastError();
    if (code == 0)
        return strerror(errno);
    char* text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                      | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 ? std::string(text, length) : "Windows error " + std::to_string(code);
    LocalFree(text);
    // The refusal line ends the sentence itself.
    while (!message.empty() && strchr(".\r\n ", message.back()) != nullptr)
        message.pop_back();
    return message;
}

// A write to a disk file that comes up short without a code has met a full
// disk (Wine passes on the partial write that fills it); the C runtime too
// takes it for ENOSPC, but leaves no system code to word the reason.
void NoteShortWrite()
{
    if (GetLastError() == 0)
        SetLastError(ERROR_DISK_FULL);
}

void RemovePending()
{
    if (g_outputPending)
        DeleteFileA(g_pendingOutput);
    g_outputPending = 0;
}

// Wide, so that the console shows it in its own code page; false, with
// nothing written, when stream is no console or the console takes nothing.
bool WriteToConsole(FILE* stream, const std::string& line)
{
    int descriptor = _fileno(stream);
    HANDLE console = descriptor >= 0 ? reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)) : INVALID_HANDLE_VALUE;
    DWORD mode = 0;
    if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode))
        return false;
    int length = static_cast<int>(line.size());
    std::wstring wide(line.size(), L'\0');
    int converted = length > 0 ? MultiByteToWideChar(CP_ACP, 0, line.data(), length, &wide[0], length) : 0;
    DWORD written = 0;
    fflush(stream);
    return converted > 0 && WriteConsoleW(console, wide.data(), static_cast<DWORD>(converted), &written, nullptr);
}

void HoldInterrupts()
{
    AcquireSRWLockExclusive(&g_pendingLock);
}

void ReleaseInterrupts()
{
    ReleaseSRWLockExclusive(&g_pendingLock);
}

// Delete sharing lets an interruption remove the file while it is open.
int CreateExclusive(const char* path, bool* exists)
{
    HANDLE handle = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    *exists = handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS;
    if (handle == INVALID_HANDLE_VALUE)
        return -1;
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (descriptor < 0) {
        // Nobody else knows the name: the file CREATE_NEW made goes with the handle.
        CloseHandle(handle);
        DeleteFileA(path);
    }
    return descriptor;
}

void CloseDescriptor(int descriptor)
{
    _close(descriptor);
}

FILE* StreamOf(int descriptor)
{
    return _fdopen(descriptor, "wb");
}

unsigned ProcessId()
{
    return static_cast<unsigned>(_getpid());
}

bool SyncToDisk(FILE* file)
{
    return _commit(_fileno(file)) == 0;
}

bool RenameOver(const char* temp, const char* final)
{
    return MoveFileExA(temp, final, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool SeekTo(FILE* file, uint64_t offset)
{
    ForgetLastFailure();
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
}

bool SameFile(const char* a, const char* b)
{
    BY_HANDLE_FILE_INFORMATION info[2];
    const char* paths[2] = {a, b};
    for (int i = 0; i < 2; ++i) {
        HANDLE handle = CreateFileA(paths[i], 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        BOOL got = GetFileInformationByHandle(handle, &info[i]);
        CloseHandle(handle);
        if (!got)
            return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber
           && info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

void RemoveOutputOnInterrupt()
{
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

// The arguments in UTF-8 from the wide command line, which keeps text in any
// language that the ANSI arguments would reduce to the code page; empty when
// the two do not split the command line alike.
std::vector<std::string> Utf8Arguments(int argc)
{
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 0; wide != nullptr && count == argc && i < count; ++i) {
        int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(size > 1 ? size : 1, '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, &arg[0], size, nullptr, nullptr);
        arg.resize(size > 1 ? size - 1 : 0);
        args.push_back(arg);
    }
    LocalFree(wide);
    return args;
}

