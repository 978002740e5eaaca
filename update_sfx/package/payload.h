// Copies the update package appended to the launcher's own file into the package file.
#pragma once

// 1 when the whole payload was written. Shows nothing.
int ExtractPayload(const char* packageFilePath);
