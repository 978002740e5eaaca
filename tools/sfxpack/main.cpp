// sfxpack: builds and checks update launchers for publishers.
#include <string>
#include <vector>

#include "cli.h"
#include "platform/file_io.h"

int main(int argc, char** argv)
{
    RemoveOutputOnInterrupt();
    std::vector<std::string> utf8 = Utf8Arguments(argc);
    std::vector<const char*> text;
    for (const std::string& arg : utf8)
        text.push_back(arg.c_str());
    return RunSfxpack(argc, argv, stdout, stderr, text.empty() ? nullptr : text.data());
}
