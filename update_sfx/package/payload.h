// Copies the update package appended to the launcher's own file into the package file.
#pragma once

#include "package/progress_window.h"

// What became of the copy: the whole payload was written, the copy failed, or
// the user stopped it in the progress window. Shows nothing itself.
// progress is begun here and outlives the copy: a window that showed stays up
// for the caller to end (EndProgress) once the launcher's next window is up.
const int kExtractFailed = 0;
const int kExtractDone = 1;
const int kExtractCancelled = 2;

int ExtractPayload(const char* packageFilePath, ExtractionProgress* progress);
