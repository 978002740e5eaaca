// sfxpack inspect: what a launcher's own rules will find in it.
#pragma once

#include <stdio.h>

// Prints the payload offset and size, the signature and recorded package
// length, and the package header; refuses a file that is not a PE image, is
// shorter than its image, or whose header the launcher would reject.
int InspectLauncher(const char* launcherPath, FILE* out, FILE* err);
