// Copies the update package appended to the launcher's own file into the package file.
#pragma once

// What became of the copy: the whole payload was written, the copy failed, or
// the user stopped it in the progress window. Shows nothing itself.
const int kExtractFailed = 0;
const int kExtractDone = 1;
const int kExtractCancelled = 2;

int ExtractPayload(const char* packageFilePath);
