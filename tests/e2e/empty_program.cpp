// The smallest Windows program: the yardstick for a process start under Wine.
#include <windows.h>

extern "C" void WINAPI EmptyEntry()
{
    ExitProcess(0);
}
