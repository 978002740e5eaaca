// The refusal and warning lines, so every subcommand words them the same way.
#include "status.h"

#include <stdarg.h>

namespace {

void WriteLine(FILE* err, const char* prefix, const char* format, va_list args)
{
    // Where both streams share a pipe, what was printed before comes first.
    fflush(stdout);
    fputs(prefix, err);
    vfprintf(err, format, args);
    fputc('\n', err);
}

}  // namespace

int Refuse(FILE* err, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteLine(err, "sfxpack: ", format, args);
    va_end(args);
    return kToolRefused;
}

void Warn(FILE* err, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteLine(err, "sfxpack: warning: ", format, args);
    va_end(args);
}
