// The one process-wide handle, set first thing by the launch sequence, and
// the kernel32 calls resolved at run time.
#include "launcher/instance.h"

HINSTANCE g_hInstance = nullptr;

FARPROC KernelProcedure(const char* name)
{
    return GetProcAddress(GetModuleHandleA("kernel32.dll"), name);
}
