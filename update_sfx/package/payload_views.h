// The payload is copied through views of bounded size, one after another:
// a 32-bit process seldom has one free address range as large as a package
// may be, and the views keep its memory bounded whatever the package's size.
#pragma once

#include <stdint.h>

// Each view is checked and written in pieces that stay in a core's cache
// between the check and the write (this machine's cores have 512 KiB of L2).
const uint32_t kPayloadViewSize = 4u << 20;
const uint32_t kPayloadPieceSize = 256u << 10;

struct PayloadView {
    uint32_t mapOffset;  // where the view starts in the file: a multiple of the granularity
    uint32_t mapLength;  // bytes to map
    uint32_t skip;       // bytes before the first payload byte the view carries
    uint32_t length;     // payload bytes the view carries
};

// The view that carries payload bytes from done on, for a payload of length
// bytes at offset. Views start at multiples of granularity (a power of two)
// and map at most viewSize bytes (a multiple of it). 0 when nothing is left.
int NextPayloadView(uint32_t offset, uint32_t length, uint32_t done, uint32_t granularity, uint32_t viewSize,
                    PayloadView* view);
