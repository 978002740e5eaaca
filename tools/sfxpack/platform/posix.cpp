// The tool's files, signals and console on Linux and other POSIX systems: the
// calls platform/system.h names, and the few of file_io.h that differ whole.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_io.h"
#include "platform/system.h"

namespace {

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

void OnInterrupt(int number)
{
    RemovePending();
    // SA_RESETHAND has put the default action back: raised again, the signal
    // ends the process as soon as the handler returns, with its usual status.
    raise(number);
}

}  // namespace

int StatusOf(FILE* file, FileStatus* status)
{
    struct stat system;
    if (fstat(fileno(file), &system) != 0)
        return -1;
    status->mode = system.st_mode;
    status->size = system.st_size;
    return 0;
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

// Only async-signal-safe calls: unlink, and raise in OnInterrupt.
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

bool SeekTo(FILE* file, uint64_t offset)
{
    ForgetLastFailure();
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool SameFile(const char* a, const char* b)
{
    struct stat first, second;
    return stat(a, &first) == 0 && stat(b, &second) == 0 && first.st_dev == second.st_dev
           && first.st_ino == second.st_ino;
}

void RemoveOutputOnInterrupt()
{
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
}

// The arguments are UTF-8 already.
std::vector<std::string> Utf8Arguments(int)
{
    return {};
}
