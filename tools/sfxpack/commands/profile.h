// The publisher's profile: an INI file of the application's names and the
// launcher's texts, checked and turned into the launcher's profile resource,
// and a launcher's resource shown again.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

// The resource for the INI text: only the values that differ from the
// defaults, so that it is empty when none does. False with "line N: reason"
// for a profile the launcher must not be given.
bool BuildProfile(const std::string& text, std::vector<uint8_t>* resource, std::string* error);

// Every key at its default, each with a one-line comment above it: the file
// a publisher starts from, which packs into the default launcher.
std::string DefaultProfile();

// Prints "profile: KEY = VALUE" for each value the resource sets; false, with
// nothing printed, for a resource the launcher cannot read.
bool PrintProfile(FILE* out, const std::vector<uint8_t>& resource);
