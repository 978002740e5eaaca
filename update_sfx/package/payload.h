// Copies the update package appended to the launcher's own file into the package file.
#pragma once

#include "package/progress_window.h"

// What became of the copy: the whole payload was written, the copy failed, or
// the user stopped it in the progress window. Shows nothing itself.
// progress is begun here and outlives the copy: a window that showed stays up,
// inert once every byte is written, for the caller to end (EndProgress) as the
// launcher exits.
const int kExtractFailed = 0;
const int kExtractDone = 1;
const int kExtractCancelled = 2;

// workDir is the package file's folder, whose volume is asked for room first.
int ExtractPayload(const char* workDir, const char* packageFilePath, ExtractionProgress* progress);
