// sfxpack: builds and checks update launchers for publishers.
#include "cli.h"
#include "file_io.h"

int main(int argc, char** argv)
{
    RemoveOutputOnInterrupt();
    return RunSfxpack(argc, argv, stdout, stderr);
}
