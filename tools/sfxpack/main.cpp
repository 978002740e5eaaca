// sfxpack: builds and checks update launchers for publishers.
#include "cli.h"

int main(int argc, char** argv)
{
    return RunSfxpack(argc, argv, stdout, stderr);
}
