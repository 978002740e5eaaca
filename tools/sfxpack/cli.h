// The command line of sfxpack: subcommands, help texts and usage errors.
#pragma once

#include <stdio.h>

// Runs one command line; returns the exit status (a ToolStatus). text holds
// the same arguments in UTF-8 where argv has them in the ANSI code page (in
// sfxpack.exe); nullptr when argv is UTF-8 already.
int RunSfxpack(int argc, const char* const* argv, FILE* out, FILE* err, const char* const* text = nullptr);
