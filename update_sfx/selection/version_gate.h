// Whether the package may be installed over an installation's version.
#pragma once

#include <stdint.h>

#include "package/version.h"

// The one package format whose source version is a lower bound, not an exact match.
const uint32_t kFormatRange = 2;

// 1 when the installed version fits a package that takes source to target:
// with format type 2 any key from source up to, not including, target; with
// any format type the exact source version. 0 otherwise.
int VersionFits(uint32_t formatType, const VersionTriple& source, const VersionTriple& target,
                const VersionTriple& installed);
