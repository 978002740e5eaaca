// Sizes the tool accepts, and why.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The launcher takes its own file size as 64 bits and refuses anything that
// does not fit in 32, so a launcher may be at most 4 GiB - 1 byte.
const uint64_t kMaxLauncherSize = 0xFFFFFFFFu;

// What signing adds after the package: a certificate table of a few
// kilobytes, more with nested signatures and long chains; 1 MiB covers them.
const uint64_t kSignatureRoom = 1u << 20;

// Stubs, configuration files and certificate tables are read whole; they are
// kilobytes in practice.
const uint64_t kMaxWholeFileSize = 256u << 20;
const uint32_t kMaxCertificateTableSize = 16u << 20;

// Packages are streamed, never held whole: large enough that each read and
// write costs little per byte, small enough to be nothing next to a package.
const size_t kStreamChunk = 1u << 20;
