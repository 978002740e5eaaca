// File handling for the tool, with the Windows and POSIX calls side by side.
#include "file_io.h"

#include <errno.h>
#include <fcntl.h>
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

#ifdef _WIN32
typedef struct _stati64 FileStatus;

int StatusOf(FILE* file, FileStatus* status)
{
    return _fstati64(_fileno(file), status);
}

int OpenExclusive(const char* path)
{
    return _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
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

bool ReplaceWith(const char* temp, const char* final, std::string* error)
{
    if (MoveFileExA(temp, final, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    *error = "cannot rename the temporary file over it (Windows error " + std::to_string(GetLastError()) + ")";
    return false;
}
#else
typedef struct stat FileStatus;

int StatusOf(FILE* file, FileStatus* status)
{
    return fstat(fileno(file), status);
}

int OpenExclusive(const char* path)
{
    return open(path, O_WRONLY | O_CREAT | O_EXCL, 0666);
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

bool ReplaceWith(const char* temp, const char* final, std::string* error)
{
    if (rename(temp, final) == 0)
        return true;
    *error = std::string("cannot rename the temporary file over it: ") + strerror(errno);
    return false;
}
#endif

}  // namespace

FILE* OpenInput(const char* path, uint64_t* size, std::string* error)
{
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        *error = strerror(errno);
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
            *error = "the file could not be read in full";
    }
    fclose(file);
    return ok;
}

bool ReadExactly(FILE* file, void* buffer, size_t size)
{
    return size == 0 || fread(buffer, 1, size, file) == size;
}

bool SeekTo(FILE* file, uint64_t offset)
{
#ifdef _WIN32
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
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
    // Beside the final name, so the rename stays on one file system; the
    // ending keeps anyone from starting a half-written launcher.
    std::string stem = output->finalPath + ".sfxpack-" + std::to_string(ProcessId()) + "-";
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        output->tempPath = stem + std::to_string(attempt) + ".tmp";
        int descriptor = OpenExclusive(output->tempPath.c_str());
        if (descriptor < 0) {
            if (errno == EEXIST)
                continue;
            *error = "cannot create " + output->tempPath + ": " + strerror(errno);
            return false;
        }
        output->file = StreamOf(descriptor);
        if (output->file == nullptr) {
            *error = std::string("cannot write ") + output->tempPath + ": " + strerror(errno);
#ifdef _WIN32
            _close(descriptor);
#else
            close(descriptor);
#endif
            remove(output->tempPath.c_str());
            return false;
        }
        return true;
    }
    *error = "no free temporary name beside " + output->finalPath;
    return false;
}

bool WriteAll(FILE* file, const void* bytes, size_t size)
{
    return size == 0 || fwrite(bytes, 1, size, file) == size;
}

bool CommitAtomicOutput(AtomicOutput* output, std::string* error)
{
    bool flushed = fflush(output->file) == 0 && SyncToDisk(output->file);
    bool closed = fclose(output->file) == 0;
    output->file = nullptr;
    if (!flushed || !closed) {
        *error = std::string("cannot write ") + output->tempPath + ": " + strerror(errno);
        remove(output->tempPath.c_str());
        return false;
    }
    if (!ReplaceWith(output->tempPath.c_str(), output->finalPath.c_str(), error)) {
        remove(output->tempPath.c_str());
        return false;
    }
    return true;
}

void AbandonAtomicOutput(AtomicOutput* output)
{
    if (output->file != nullptr)
        fclose(output->file);
    output->file = nullptr;
    remove(output->tempPath.c_str());
}

bool WriteFileAtomically(const char* path, const uint8_t* bytes, size_t size, std::string* error)
{
    AtomicOutput output;
    if (!BeginAtomicOutput(path, &output, error))
        return false;
    if (!WriteAll(output.file, bytes, size)) {
        *error = std::string("cannot write ") + output.tempPath + ": " + strerror(errno);
        AbandonAtomicOutput(&output);
        return false;
    }
    return CommitAtomicOutput(&output, error);
}
