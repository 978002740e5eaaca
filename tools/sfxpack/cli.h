// The command line of sfxpack: subcommands, help texts and usage errors.
#pragma once

#include <stdio.h>

// Runs one command line; returns the exit status (a ToolStatus).
int RunSfxpack(int argc, const char* const* argv, FILE* out, FILE* err);
