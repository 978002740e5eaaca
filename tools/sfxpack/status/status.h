// Exit statuses shared by every subcommand, and the one line a refusal or a
// warning prints.
#pragma once

#include <stdio.h>

enum ToolStatus {
    kToolOk = 0,
    kToolRefused = 1,
    kToolUsage = 2,
};

// Writes "sfxpack: " and the formatted reason as one line to err; returns kToolRefused.
int Refuse(FILE* err, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// Writes "sfxpack: warning: " and the formatted text as one line to err; the
// command goes on.
void Warn(FILE* err, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
