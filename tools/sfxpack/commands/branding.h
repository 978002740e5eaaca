// A publisher's icon and version record, given to the stub at pack time and
// shown again by inspect.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "package/version.h"

struct Branding {
    const char* iconPath;                     // nullptr: the stub's icons stay
    std::vector<std::string> versionStrings;  // NAME=VALUE in UTF-8; none: the stub's record stays
    const char* profilePath;                  // nullptr: the default names and texts
};

bool IsBranded(const Branding& branding);

// Puts the icon, the version record and the profile into the stub's
// resources in place of any it has, the other resources kept byte for byte;
// a profile of defaults alone adds nothing and leaves the stub as it is. target gives the
// numeric versions FileVersion and ProductVersion do not. A ToolStatus; a
// refusal names the file or argument at fault and what is wrong.
int BrandStub(const std::string& stubName, std::vector<uint8_t>* stub, const Branding& branding,
              const VersionTriple& target, FILE* err);

// The version strings, the number of icon images and the profile's values
// of an image whose first bytes are headers, read from file; nothing for an
// image without them. What makes the launcher refuse to run, or nothing.
std::string PrintBranding(FILE* out, FILE* file, uint32_t fileSize, const std::vector<uint8_t>& headers);
