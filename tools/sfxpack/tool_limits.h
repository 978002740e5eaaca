// Sizes the tool accepts, and why.
#pragma once

#include <stdint.h>

// The launcher takes its own file size as 32 bits, and GetFileSize reports an
// error as 0xFFFFFFFF, so a launcher must stay below that.
const uint64_t kMaxLauncherSize = 0xFFFFFFFEu;

// Stubs and configuration files are read whole; they are kilobytes in practice.
const uint64_t kMaxWholeFileSize = 256u << 20;
