// The resource section of a PE image: read into a flat list, and written
// back as a section of its own with the image's headers brought along.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// A type, name or language: a number, or a string when named is set.
struct ResourceName {
    bool named;
    uint32_t id;
    std::u16string text;
};

struct Resource {
    ResourceName type, name, language;
    uint32_t codePage;
    std::vector<uint8_t> data;
};

const uint32_t kResourceIcon = 3;
const uint32_t kResourceGroupIcon = 14;
const uint32_t kResourceVersion = 16;

ResourceName ResourceId(uint32_t id);

// Where the resource directory's section lies in the file. found is false
// for an image without resources.
struct ResourceSection {
    bool found;
    uint32_t fileOffset, rawSize, rva;
};

// From the first size bytes of the image; false with the reason when the
// headers cannot be read or the directory lies outside every section.
bool FindResourceSection(const uint8_t* image, size_t size, ResourceSection* section, std::string* error);

// The resources of a section whose raw bytes are given; false with the reason
// for a tree that does not lie inside them or is too large to be a stub's.
bool ReadResources(const uint8_t* sectionBytes, size_t size, uint32_t rva, std::vector<Resource>* resources,
                   std::string* error);

// Rewrites image with resources as its resource section: the section keeps its
// place, the base relocations that follow it move after it, and a section is
// added where there was none. Sizes, section table and data directories are
// brought along; the checksum is left to the caller. False with the reason for
// an image whose layout does not allow it.
bool ReplaceResources(std::vector<uint8_t>* image, const std::vector<Resource>& resources, std::string* error);
