// The walk over the package header's entries. It reads through a callback so
// the same walk serves the launcher (a file) and the packing tool (memory).
#pragma once

#include <stdint.h>

#include "package/version.h"

// Fills buffer with exactly size bytes and returns 1, or returns 0.
typedef int (*HeaderReadFn)(void* source, void* buffer, uint32_t size);

// Names and values are kept in one scratch buffer of this size (at most 249
// bytes and a terminator); longer fields are treated as unreadable.
const uint32_t kHeaderScratchSize = 250;

struct PackageHeader {
    VersionTriple source;
    VersionTriple target;
    uint32_t formatType;
    bool hasFormatType;  // FORMATTYPE was read in full
};

// Result: the answer of the last version parse performed, 0 when none was
// reached. The header's fields are written as far as the walk got.
int WalkPackageHeader(HeaderReadFn read, void* source, PackageHeader* header);

// Where a walk stopped, for tools that explain a damaged header.
enum HeaderStop {
    kHeaderComplete,
    kHeaderBadMagic,
    kHeaderBadSection,
    kHeaderBadSourceName,
    kHeaderBadSourceValue,
    kHeaderBadSourceTerminator,
    kHeaderBadTargetName,
    kHeaderBadTargetValue,
    kHeaderBadTargetTerminator,
    kHeaderBadFormatName,
    kHeaderBadFormatValue,
};

int WalkPackageHeaderEx(HeaderReadFn read, void* source, PackageHeader* header, HeaderStop* stop);
