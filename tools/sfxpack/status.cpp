// The refusal line, so every subcommand words its failures the same way.
#include "status.h"

#include <stdarg.h>

int Refuse(FILE* err, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    fputs("sfxpack: ", err);
    vfprintf(err, format, args);
    fputc('\n', err);
    va_end(args);
    return kToolRefused;
}
