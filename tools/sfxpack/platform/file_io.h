// Files for the tool: bounded reads, and outputs that appear under their final
// name only when complete. The few places where Linux and Windows differ, each
// in platform/posix.cpp and platform/windows.cpp.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

// Opens a regular file for binary reading and takes its size; nullptr with a
// reason in *error otherwise.
FILE* OpenInput(const char* path, uint64_t* size, std::string* error);

// Reads a whole file of at most limit bytes.
bool ReadWholeFile(const char* path, uint64_t limit, std::vector<uint8_t>* bytes, std::string* error);

bool ReadExactly(FILE* file, void* buffer, size_t size);
bool SeekTo(FILE* file, uint64_t offset);

// The system's words for the failure of the last call on file: strerror on
// Linux, the system's message text on Windows; for a read that met the end,
// that the file ended early.
std::string FileFailure(FILE* file);

// True when both paths name one existing file, however they are spelled.
bool SameFile(const char* a, const char* b);

// An output written under a temporary name beside its final one and renamed
// over it once flushed, so nobody ever finds half a file under the final name.
// Errors give the reason only, for a refusal that names the final path.
struct AtomicOutput {
    FILE* file;
    std::string tempPath;
    std::string finalPath;
};

// Refuses a folder as the path, and a path whose folder is missing or not
// writable, before anything is written.
bool BeginAtomicOutput(const char* path, AtomicOutput* output, std::string* error);
bool WriteAll(FILE* file, const void* bytes, size_t size);
// Flushes to disk, closes and renames; on failure the temporary is removed.
bool CommitAtomicOutput(AtomicOutput* output, std::string* error);
// Closes and removes the temporary.
void AbandonAtomicOutput(AtomicOutput* output);

bool WriteFileAtomically(const char* path, const uint8_t* bytes, size_t size, std::string* error);

// From here on SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE (on Windows
// Ctrl-C, Ctrl-Break and a closed console) remove the temporary of the output
// being written, then end the process as they would have.
void RemoveOutputOnInterrupt();

// Removes the temporary of the output being written, if any, at once. A
// refusal calls it before it prints: printed into a closed pipe, the line ends
// the tool there. The output is abandoned as ever afterwards.
void RemovePendingOutput();

// The arguments in UTF-8 from the wide command line where argv has them in
// the ANSI code page (sfxpack.exe); empty where argv is UTF-8 already, or when
// the two do not split the command line alike.
std::vector<std::string> Utf8Arguments(int argc);

// Writes a line of text in the ANSI code page, as the paths and the system's
// reasons are. On Windows a console shows it converted, whatever its own code
// page: the console's OEM one would garble every letter past ASCII.
void PrintLine(FILE* stream, const std::string& line);
