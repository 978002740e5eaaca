// sfxpack extract: the package file a launcher would write, written natively.
#pragma once

#include <stdio.h>

// Writes to outputPath exactly the bytes the launcher would write as its
// package file, by the launcher's own plan and checksum. Refuses, leaving no
// output, what the launcher would refuse: a file it cannot plan, a package
// that fails its checksum, an empty package, a header it would reject.
int ExtractPackage(const char* launcherPath, const char* outputPath, FILE* out, FILE* err);
