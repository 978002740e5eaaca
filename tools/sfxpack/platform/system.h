// What platform/file_io.cpp takes from the system: posix.cpp and windows.cpp
// each define all of it, and the build compiles the one for its target.
#pragma once

#include <signal.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <string>

// The temporary an interruption removes. Its name is copied here while it is
// created, so that the handler reads only memory that is always there.
const size_t kPendingNameSize = 4096;
extern char g_pendingOutput[kPendingNameSize];
extern volatile sig_atomic_t g_outputPending;

// An open file's type bits (S_IFMT) and size, as the system's stat gives them.
struct FileStatus {
    unsigned mode;
    int64_t size;
};

// 0, or -1 when the system cannot say.
int StatusOf(FILE* file, FileStatus* status);
bool IsFolder(const char* path);

// The reason for the last failed call, and the means to keep an older one from
// standing in for it.
void ForgetLastFailure();
std::string LastFailure();
void NoteShortWrite();

// Removes the pending temporary; safe in an interruption's handler.
void RemovePending();
// Keeps an interruption away while the pending temporary changes.
void HoldInterrupts();
void ReleaseInterrupts();

// Writes line to stream when it is a console that wants it converted; false
// with nothing written otherwise.
bool WriteToConsole(FILE* stream, const std::string& line);

// A new file for writing, or -1 with *exists set when the name is taken.
int CreateExclusive(const char* path, bool* exists);
void CloseDescriptor(int descriptor);
FILE* StreamOf(int descriptor);
unsigned ProcessId();
bool SyncToDisk(FILE* file);
// Replaces final with temp in one step.
bool RenameOver(const char* temp, const char* final);
