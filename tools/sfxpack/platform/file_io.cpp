// File handling for the tool: bounded reads and outputs that appear whole, on
// the system's calls in platform/system.h.
#include "platform/file_io.h"

#include <errno.h>
#include <string.h>
#include <sys/stat.h>

#include "platform/system.h"

char g_pendingOutput[kPendingNameSize];
volatile sig_atomic_t g_outputPending = 0;

namespace {

// Other writers of the same output may race us; a few names are enough to step past them.
const int kTempNameAttempts = 100;

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
    if (StatusOf(file, &status) != 0 || (status.mode & S_IFMT) != S_IFREG || status.size < 0) {
        *error = "not a regular file";
        fclose(file);
        return nullptr;
    }
    *size = static_cast<uint64_t>(status.size);
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

std::string FileFailure(FILE* file)
{
    // Meeting the end is no failure of the system: the file is shorter than it
    // was when measured.
    if (feof(file) && !ferror(file))
        return "the file ended early";
    return LastFailure();
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
