// Exit statuses shared by every subcommand, and the one line a refusal prints.
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
