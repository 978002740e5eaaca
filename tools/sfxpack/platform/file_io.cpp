// File handling for the tool, with the Windows and POSIX calls side by side.
#include "platform/file_io.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// Other writers of the same output may race us; a few names are enough to step past them.
const int kTempNameAttempts = 100;

// The temporary an interruption removes. Its name is copied here while it is
// created, so that the handler reads only memory that is always there.
const size_t kPendingNameSize = 4096;
char g_pendingOutput[kPendingNameSize];
volatile sig_atomic_t g_outputPending = 0;

#ifdef _WIN32
typedef struct _stati64 FileStatus;

int StatusOf(FILE* file, FileStatus* status)
{
    return _fstati64(_fileno(file), status);
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

// The console's handler runs on a thread of its own while the copy goes on.
// The lock keeps it from a temporary half created or half renamed and, never
// released by the handler, keeps the copy from starting another.
SRWLOCK g_pendingLock = SRWLOCK_INIT;

void HoldInterrupts()
{
    AcquireSRWLockExclusive(&g_pendingLock);
}

void ReleaseInterrupts()
{
    ReleaseSRWLockExclusive(&g_pendingLock);
}

BOOL WINAPI OnConsoleControl(DWORD)
{
    HoldInterrupts();
    // Opened with delete sharing, the temporary goes when the process ends.
    RemovePending();
    // The default handler then ends the process with its usual status.
    return FALSE;
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
#else
typedef struct stat FileStatus;

int StatusOf(FILE* file, FileStatus* status)
{
    return fstat(fileno(file), status);
}

bool IsFolder(const char* path)
{
    struct stat status;
    return stat(path, &status) == 0 && (status.st_mode & S_IFMT) == S_IFDIR;
}

void ForgetLastFailure()
{
}

std::string LastFailure()
{
    return strerror(errno);
}

// write() gives the reason of a short write itself.
void NoteShortWrite()
{
}

// SIGPIPE: a refusal or a report printed into a pipe whose reader has gone.
const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

sigset_t InterruptSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (int number : kInterrupts)
        sigaddset(&set, number);
    return set;
}

// The mask before the hold: signals the parent blocked stay blocked after it.
sigset_t g_maskBeforeHold;

// A signal held here arrives once released, so the handler never meets a
// temporary half created or half renamed.
void HoldInterrupts()
{
    sigset_t set = InterruptSet();
    sigprocmask(SIG_BLOCK, &set, &g_maskBeforeHold);
}

void ReleaseInterrupts()
{
    sigprocmask(SIG_SETMASK, &g_maskBeforeHold, nullptr);
}

// Only async-signal-safe calls: unlink, and raise below.
void RemovePending()
{
    if (g_outputPending)
        unlink(g_pendingOutput);
    g_outputPending = 0;
}

// A terminal takes the bytes as they are.
bool WriteToConsole(FILE*, const std::string&)
{
    return false;
}

void OnInterrupt(int number)
{
    RemovePending();
    // SA_RESETHAND has put the default action back: raised again, the signal
    // ends the process as soon as the handler returns, with its usual status.
    raise(number);
}

int CreateExclusive(const char* path, bool* exists)
{
    int descriptor = open(path, O_WRONLY | O_CREAT | O_EXCL, 0666);
    *exists = descriptor < 0 && errno == EEXIST;
    return descriptor;
}

void CloseDescriptor(int descriptor)
{
    close(descriptor);
}

FILE* StreamOf(int descriptor)
{
    return fdopen(descriptor, "wb");
}

unsigned ProcessId()
{
    return static_cast<unsigned>(getpid());
}

bool SyncToDisk(FILE* file)
{
    return fsync(fileno(file)) == 0;
}

bool RenameOver(const char* temp, const char* final)
{
    return rename(temp, final) == 0;
}
#endif

// Creates path and, before an interruption can come, names it to the handler.
int CreateTemporary(const std::string& path, bool* exists, std::string* error)
{
    HoldInterrupts();
    ForgetLastFailure();
    int descriptor = CreateExclusive(path.c_str(), exists);
    if (descriptor >= 0) {
        memcpy(g_pendingOutput, path.c_str(), path.size() + 1);
        g_outputPending = 1;
    } else if (!*exists) {
        *error = LastFailure();
    }
    ReleaseInterrupts();
    return descriptor;
}

// Renames the closed temporary over the final name when asked, else removes it.
bool FinishTemporary(AtomicOutput* output, bool keep, std::string* error)
{
    HoldInterrupts();
    ForgetLastFailure();
    bool renamed = keep && RenameOver(output->tempPath.c_str(), output->finalPath.c_str());
    if (keep && !renamed)
        *error = "cannot rename the temporary file over it: " + LastFailure();
    if (!renamed)
        remove(output->tempPath.c_str());
    g_outputPending = 0;
    ReleaseInterrupts();
    return renamed;
}

}  // namespace

FILE* OpenInput(const char* path, uint64_t* size, std::string* error)
{
    ForgetLastFailure();
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        *error = LastFailure();
        return nullptr;
    }
    FileStatus status;
    if (StatusOf(file, &status) != 0 || (status.st_mode & S_IFMT) != S_IFREG || status.st_size < 0) {
        *error = "not a regular file";
        fclose(file);
        return nullptr;
    }
    *size = static_cast<uint64_t>(status.st_size);
    return file;
}

bool ReadWholeFile(const char* path, uint64_t limit, std::vector<uint8_t>* bytes, std::string* error)
{
    uint64_t size = 0;
    FILE* file = OpenInput(path, &size, error);
    if (file == nullptr)
        return false;
    bool ok = false;
    if (size > limit) {
        *error = "larger than " + std::to_string(limit) + " bytes";
    } else {
        bytes->resize(static_cast<size_t>(size));
        ok = ReadExactly(file, bytes->data(), bytes->size());
        if (!ok)
            *error = FileFailure(file);
    }
    fclose(file);
    return ok;
}

bool ReadExactly(FILE* file, void* buffer, size_t size)
{
    ForgetLastFailure();
    return size == 0 || fread(buffer, 1, size, file) == size;
}

bool SeekTo(FILE* file, uint64_t offset)
{
    ForgetLastFailure();
#ifdef _WIN32
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::string FileFailure(FILE* file)
{
    // Meeting the end is no failure of the system: the file is shorter than it
    // was when measured.
    if (feof(file) && !ferror(file))
        return "the file ended early";
    return LastFailure();
}

bool SameFile(const char* a, const char* b)
{
#ifdef _WIN32
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
#else
    struct stat first, second;
    return stat(a, &first) == 0 && stat(b, &second) == 0 && first.st_dev == second.st_dev
           && first.st_ino == second.st_ino;
#endif
}

bool BeginAtomicOutput(const char* path, AtomicOutput* output, std::string* error)
{
    output->file = nullptr;
    output->finalPath = path;
    // The rename would find a folder only after the whole copy.
    if (IsFolder(path)) {
        *error = strerror(EISDIR);
        return false;
    }
    // Beside the final name, so the rename stays on one file system; the
    // ending keeps anyone from starting a half-written launcher.
    std::string stem = output->finalPath + ".sfxpack-" + std::to_string(ProcessId()) + "-";
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        output->tempPath = stem + std::to_string(attempt) + ".tmp";
        if (output->tempPath.size() >= kPendingNameSize) {
            *error = strerror(ENAMETOOLONG);
            return false;
        }
        bool exists = false;
        int descriptor = CreateTemporary(output->tempPath, &exists, error);
        if (exists)
            continue;
        if (descriptor < 0)
            return false;
        output->file = StreamOf(descriptor);
        if (output->file == nullptr) {
            *error = LastFailure();
            CloseDescriptor(descriptor);
            FinishTemporary(output, false, nullptr);
            return false;
        }
        return true;
    }
    *error = "no free temporary name beside it";
    return false;
}

bool WriteAll(FILE* file, const void* bytes, size_t size)
{
    ForgetLastFailure();
    if (size == 0 || fwrite(bytes, 1, size, file) == size)
        return true;
    NoteShortWrite();
    return false;
}

bool CommitAtomicOutput(AtomicOutput* output, std::string* error)
{
    ForgetLastFailure();
    bool written = fflush(output->file) == 0 && SyncToDisk(output->file);
    if (!written)
        *error = LastFailure();
    if (fclose(output->file) != 0 && written) {
        *error = LastFailure();
        written = false;
    }
    output->file = nullptr;
    return FinishTemporary(output, written, error);
}

void AbandonAtomicOutput(AtomicOutput* output)
{
    if (output->file != nullptr)
        fclose(output->file);
    output->file = nullptr;
    FinishTemporary(output, false, nullptr);
}

bool WriteFileAtomically(const char* path, const uint8_t* bytes, size_t size, std::string* error)
{
    AtomicOutput output;
    if (!BeginAtomicOutput(path, &output, error))
        return false;
    if (!WriteAll(output.file, bytes, size)) {
        *error = FileFailure(output.file);
        AbandonAtomicOutput(&output);
        return false;
    }
    return CommitAtomicOutput(&output, error);
}

void RemovePendingOutput()
{
    HoldInterrupts();
    RemovePending();
    ReleaseInterrupts();
}

void PrintLine(FILE* stream, const std::string& line)
{
    if (!WriteToConsole(stream, line))
        fputs(line.c_str(), stream);
}

void RemoveOutputOnInterrupt()
{
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND;
    action.sa_mask = InterruptSet();
    for (int number : kInterrupts) {
        struct sigaction previous;
        // A signal ignored from the start (nohup, a background job) stays ignored.
        if (sigaction(number, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
            sigaction(number, &action, nullptr);
    }
#endif
}
