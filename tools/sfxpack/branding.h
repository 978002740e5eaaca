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
};

bool IsBranded(const Branding& branding);

// Puts the icon and the version record into the stub's resources in place of
// any it has, the other resources kept byte for byte. target gives the
// numeric versions FileVersion and ProductVersion do not. A ToolStatus; a
// refusal names the file or argument at fault and what is wrong.
int BrandStub(const std::string& stubName, std::vector<uint8_t>* stub, const Branding& branding,
              const VersionTriple& target, FILE* err);

// The version strings and the number of icon images of an image whose first
// bytes are headers, read from file; nothing for an image without them.
void PrintBranding(FILE* out, FILE* file, uint32_t fileSize, const std::vector<uint8_t>& headers);
