// The refusal and warning lines, so every subcommand words them the same way.
#include "status/status.h"

#include <stdarg.h>

#include <string>
#include <vector>

#include "platform/file_io.h"

namespace {

void WriteLine(FILE* err, const char* prefix, const char* format, va_list args)
{
    va_list measure;
    va_copy(measure, args);
    int length = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::vector<char> text(length > 0 ? length + 1 : 1, '\0');
    if (length > 0)
        vsnprintf(text.data(), text.size(), format, args);
    // Where both streams share a pipe, what the command printed before comes
    // first, whichever stream it has for its report.
    fflush(nullptr);
    PrintLine(err, prefix + std::string(text.data()) + "\n");
}

}  // namespace

int Refuse(FILE* err, const char* format, ...)
{
    // Whatever the line meets, a reader gone or an interruption, the output
    // this refusal abandons is gone first.
    RemovePendingOutput();
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
