// Icon files: a six-byte header, a 16-byte directory entry per image, the
// images; an image resource holds an image's bytes as they are, PNG or bitmap,
// and the group resource holds the directory with resource numbers for offsets.
#include "image/icon_file.h"

#include "image/byte_fields.h"

namespace {

const uint32_t kHeaderSize = 6;
const uint32_t kFileEntrySize = 16;
const uint32_t kIconType = 1;
// The smallest image there is: a bitmap's 40-byte header, or a PNG's
// signature with its header and end chunks.
const uint32_t kSmallestImage = 40;
// Icon files hold a handful of sizes; the bound keeps the resource tree small.
const uint32_t kMaxImages = 256;

Resource IconResource(uint32_t type, uint32_t id, const std::vector<uint8_t>& data)
{
    return Resource{ResourceId(type), ResourceId(id), ResourceId(0), 0, data};
}

}  // namespace

bool IconResources(const std::vector<uint8_t>& file, std::vector<Resource>* resources, std::string* error)
{
    const uint8_t* bytes = file.data();
    if (file.size() < kHeaderSize || Read16(bytes) != 0 || Read16(bytes + 2) != kIconType) {
        *error = "its header is not that of an icon file";
        return false;
    }
    uint32_t count = Read16(bytes + 4);
    if (count == 0 || count > kMaxImages) {
        *error = count == 0 ? "it holds no images" : "it holds " + std::to_string(count) + " images, more than 256";
        return false;
    }
    if (file.size() < kHeaderSize + static_cast<uint64_t>(count) * kFileEntrySize) {
        *error = "its list of images is cut short";
        return false;
    }
    std::vector<uint8_t> group(bytes, bytes + kHeaderSize);
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* entry = bytes + kHeaderSize + i * kFileEntrySize;
        uint32_t size = Read32(entry + 8), offset = Read32(entry + 12);
        std::string image = "image " + std::to_string(i + 1) + " ";
        if (size < kSmallestImage || size > file.size()) {
            *error = image + "has a size of " + std::to_string(size) + " bytes, out of range";
            return false;
        }
        if (offset > file.size() - size) {
            *error = image + "reaches past the end of the file";
            return false;
        }
        // Images that share bytes would be copied again for every entry.
        total += size;
        if (total > file.size()) {
            *error = "its images together are larger than the file: they overlap";
            return false;
        }
        // The group's entry is the file's with the resource number for the offset.
        group.insert(group.end(), entry, entry + 12);
        Append16(&group, i + 1);
        resources->push_back(IconResource(kResourceIcon, i + 1, std::vector<uint8_t>(bytes + offset, bytes + offset + size)));
    }
    resources->push_back(IconResource(kResourceGroupIcon, 1, group));
    return true;
}
