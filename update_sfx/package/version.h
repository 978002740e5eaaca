// Dotted version text ("10.01.188") as read from the package header and from
// each installation's configuration, and the key the version gate compares.
#pragma once

#include <stdint.h>

struct VersionTriple {
    int32_t major;
    int32_t minor;
    int32_t build;
};

// How a version is shown to the user: 10, 1, 188 shows as 10.01.188.
#define VERSION_DISPLAY_FORMAT "%d.%02d.%03d"

// 1 when the text holds exactly three components; the out-parameters are
// written as components are found, also when the result is 0.
int ParseVersion(const char* text, int32_t* major, int32_t* minor, int32_t* build);

// (major * 10 + minor) * 1000 + build with 32-bit wrap-around, read as signed.
int32_t VersionKey(const VersionTriple& v);

bool SameVersion(const VersionTriple& a, const VersionTriple& b);
