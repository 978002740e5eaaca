// sfxpack inspect: what a launcher's own rules will find in it.
#pragma once

#include <stdio.h>

// Prints the payload offset and size, the signatures and recorded package
// length, and the package header; refuses a file that is not a PE image, is
// shorter than its image, whose header the launcher would reject, or whose
// signatures do not hold. With a signer (a certificate file or its SHA-256,
// else nullptr), also one not signed, or signed by another certificate.
int InspectLauncher(const char* launcherPath, const char* signer, FILE* out, FILE* err);
