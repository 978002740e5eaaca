// sfxpack: builds and checks update launchers for publishers.
#include "cli.h"
#include "platform/file_io.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

// The arguments in UTF-8 from the wide command line, which keeps text in any
// language that the ANSI arguments would reduce to the code page; empty when
// the two do not split the command line alike.
std::vector<std::string> Utf8Arguments(int argc)
{
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 0; wide != nullptr && count == argc && i < count; ++i) {
        int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(size > 1 ? size : 1, '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, &arg[0], size, nullptr, nullptr);
        arg.resize(size > 1 ? size - 1 : 0);
        args.push_back(arg);
    }
    LocalFree(wide);
    return args;
}

}  // namespace
#endif

int main(int argc, char** argv)
{
    RemoveOutputOnInterrupt();
#ifdef _WIN32
    std::vector<std::string> utf8 = Utf8Arguments(argc);
    std::vector<const char*> text;
    for (const std::string& arg : utf8)
        text.push_back(arg.c_str());
    return RunSfxpack(argc, argv, stdout, stderr, text.empty() ? nullptr : text.data());
#else
    return RunSfxpack(argc, argv, stdout, stderr);
#endif
}
