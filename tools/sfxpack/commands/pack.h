// sfxpack pack: a launcher from a stub and an update package.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "commands/branding.h"

// Checks the stub and the package as the launcher will read them, then writes
// stub and package to outputPath, with the package length recorded in the
// copy of the stub's DOS header, and the copy branded when branding asks.
// Returns a ToolStatus.
int PackLauncher(const char* stubPath, const char* packagePath, const char* outputPath, const Branding& branding,
                 FILE* out, FILE* err);

// The same with the stub the tool carries.
int PackWithEmbeddedStub(const char* packagePath, const char* outputPath, const Branding& branding, FILE* out,
                         FILE* err);

bool LauncherSizeFits(uint64_t stubSize, uint64_t packageSize);

// True when a signature, which goes after the package, may take a launcher
// of this size past what the launcher reads.
bool SignatureMayNotFit(uint64_t launcherSize);
