// An icon file (.ico) turned into the resources that carry it in an image.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "image/resources.h"

// Every image of the icon file as an icon resource, numbered from 1, and one
// icon group listing them. False with what is wrong for a file that is not
// an icon file.
bool IconResources(const std::vector<uint8_t>& file, std::vector<Resource>* resources, std::string* error);
