// The one process-wide handle, set first thing by the launch sequence.
#include "launcher/instance.h"

HINSTANCE g_hInstance = nullptr;
