// The resource tree of a stub read and rebuilt, and the section it lives in
// moved into place. No platform calls: the native tool and sfxpack.exe share it.
#include "image/resources.h"

#include <algorithm>

#include "image/byte_fields.h"
#include "image/image_bytes.h"

namespace {

const uint32_t kNewHeaderField = 0x3C;
const uint32_t kSectionHeaderSize = 40;
const uint32_t kTableSize = 16;
const uint32_t kEntrySize = 8;
const uint32_t kDataEntrySize = 16;
const uint32_t kHighBit = 0x80000000u;  // a named entry, or one that leads to a table
const int kLeafLevel = 2;               // type, name, then language
const uint32_t kResourceDirectory = 2;
const uint32_t kSecurityDirectory = 4;
const uint32_t kRelocationDirectory = 5;
// A stub holds a handful of resources; the bound stops a tree whose tables
// point back at each other from being walked for ever.
const uint32_t kMaxEntries = 4096;
// Resource names are words; every resource repeats the names above it, so
// long ones shared by many entries would take memory out of all proportion.
const uint32_t kMaxNameLength = 256;
// Fields at the same place in PE32 and PE32+ optional headers.
const uint32_t kInitializedDataField = 8;
const uint32_t kSectionAlignmentField = 32;
const uint32_t kFileAlignmentField = 36;
const uint32_t kSizeOfImageField = 56;
const uint32_t kSizeOfHeadersField = 60;
// Section header fields.
const uint32_t kVirtualSizeField = 8;
const uint32_t kAddressField = 12;
const uint32_t kRawSizeField = 16;
const uint32_t kRawPointerField = 20;
const uint32_t kCharacteristicsField = 36;
const uint32_t kResourceCharacteristics = 0x40000040;  // initialised data, readable

uint32_t AlignUp(uint32_t value, uint32_t alignment)
{
    return (value + alignment - 1) & ~(alignment - 1);
}

bool Fail(std::string* error, const char* reason)
{
    *error = reason;
    return false;
}

// Where the parts of the PE headers lie, checked to be inside the bytes read.
struct PeHeaders {
    uint32_t optional, sectionTable, sectionCount, countField, directories, directoryCount;
};

bool LocatePe(const uint8_t* image, size_t size, PeHeaders* pe)
{
    if (size < 0x40 || image[0] != 'M' || image[1] != 'Z')
        return false;
    uint64_t at = Read32(image + kNewHeaderField);
    if (at + 24 + 2 > size || Read32(image + at) != 0x00004550)
        return false;
    pe->sectionCount = Read16(image + at + 6);
    uint32_t optionalSize = Read16(image + at + 20);
    pe->optional = static_cast<uint32_t>(at + 24);
    uint32_t magic = Read16(image + pe->optional);
    pe->countField = magic == 0x20B ? 108 : 92;
    if ((magic != 0x10B && magic != 0x20B) || optionalSize < pe->countField + 4
        || pe->optional + static_cast<uint64_t>(optionalSize) > size)
        return false;
    pe->directories = pe->optional + pe->countField + 4;
    pe->directoryCount = std::min(Read32(image + pe->optional + pe->countField), (optionalSize - pe->countField - 4) / 8);
    pe->sectionTable = pe->optional + optionalSize;
    return pe->sectionTable + static_cast<uint64_t>(pe->sectionCount) * kSectionHeaderSize <= size;
}

int CompareNames(const ResourceName& a, const ResourceName& b)
{
    // Named entries come before numbered ones in every table.
    if (a.named != b.named)
        return a.named ? -1 : 1;
    if (a.named)
        return a.text.compare(b.text);
    return a.id < b.id ? -1 : a.id > b.id ? 1 : 0;
}

const ResourceName& KeyAt(const Resource& resource, int level)
{
    return level == 0 ? resource.type : level == 1 ? resource.name : resource.language;
}

bool Before(const Resource& a, const Resource& b)
{
    for (int level = 0; level <= kLeafLevel; ++level) {
        int order = CompareNames(KeyAt(a, level), KeyAt(b, level));
        if (order != 0)
            return order < 0;
    }
    return false;
}

// The end of the run of resources from first that share its key at level.
size_t GroupEnd(const std::vector<Resource>& list, int level, size_t first, size_t end)
{
    size_t i = first + 1;
    while (i < end && CompareNames(KeyAt(list[i], level), KeyAt(list[first], level)) == 0)
        ++i;
    return i;
}

struct TreeReader {
    const uint8_t* bytes;
    size_t size;
    uint32_t rva;
    uint32_t entries;
    uint64_t dataBytes;
    std::vector<Resource>* resources;
    std::string* error;
};

bool ReadName(const TreeReader& reader, uint32_t field, ResourceName* name)
{
    name->named = (field & kHighBit) != 0;
    name->id = name->named ? 0 : field;
    name->text.clear();
    if (!name->named)
        return true;
    uint64_t at = field & ~kHighBit;
    if (at + 2 > reader.size || at + 2 + 2 * static_cast<uint64_t>(Read16(reader.bytes + at)) > reader.size)
        return Fail(reader.error, "a resource name lies outside its resource section");
    if (Read16(reader.bytes + at) > kMaxNameLength)
        return Fail(reader.error, "a resource name is longer than 256 characters");
    for (uint32_t i = 0; i < Read16(reader.bytes + at); ++i)
        name->text.push_back(static_cast<char16_t>(Read16(reader.bytes + at + 2 + 2 * i)));
    return true;
}

bool ReadData(TreeReader* reader, uint32_t offset, Resource* resource)
{
    if (offset + static_cast<uint64_t>(kDataEntrySize) > reader->size)
        return Fail(reader->error, "a resource's data entry lies outside its resource section");
    const uint8_t* entry = reader->bytes + offset;
    uint32_t rva = Read32(entry), size = Read32(entry + 4);
    uint64_t at = static_cast<uint64_t>(rva) - reader->rva;
    // Sound resources do not share bytes, so together they fit in the section.
    reader->dataBytes += size;
    if (rva < reader->rva || at + size > reader->size || reader->dataBytes > reader->size)
        return Fail(reader->error, "a resource's data lies outside its resource section");
    resource->codePage = Read32(entry + 8);
    resource->data.assign(reader->bytes + at, reader->bytes + at + size);
    reader->resources->push_back(*resource);
    return true;
}

bool ReadTable(TreeReader* reader, uint32_t offset, int level, Resource* resource)
{
    if (offset + static_cast<uint64_t>(kTableSize) > reader->size)
        return Fail(reader->error, "a resource table lies outside its resource section");
    const uint8_t* table = reader->bytes + offset;
    uint32_t count = Read16(table + 12) + Read16(table + 14);
    if (offset + kTableSize + static_cast<uint64_t>(count) * kEntrySize > reader->size)
        return Fail(reader->error, "a resource table lies outside its resource section");
    for (uint32_t i = 0; i < count; ++i) {
        if (++reader->entries > kMaxEntries)
            return Fail(reader->error, "its resource tree has more than 4096 entries");
        const uint8_t* entry = table + kTableSize + i * kEntrySize;
        ResourceName* name = level == 0 ? &resource->type : level == 1 ? &resource->name : &resource->language;
        if (!ReadName(*reader, Read32(entry), name))
            return false;
        uint32_t target = Read32(entry + 4);
        if (((target & kHighBit) != 0) != (level < kLeafLevel))
            return Fail(reader->error, "its resource tree is not three levels deep");
        bool read = level < kLeafLevel ? ReadTable(reader, target & ~kHighBit, level + 1, resource)
                                       : ReadData(reader, target, resource);
        if (!read)
            return false;
    }
    return true;
}

struct Table {
    int level;
    size_t first, end;  // the resources below it, in sorted order
    uint32_t offset;
};

// The tables breadth first, each given its offset; returns where they end,
// with the bytes their names take in namesSize.
uint32_t LayOutTables(const std::vector<Resource>& list, std::vector<Table>* tables, uint32_t* namesSize)
{
    uint32_t tablesEnd = 0;
    *namesSize = 0;
    for (size_t t = 0; t < tables->size(); ++t) {
        Table table = (*tables)[t];
        (*tables)[t].offset = tablesEnd;
        tablesEnd += kTableSize;
        for (size_t i = table.first; i < table.end; i = GroupEnd(list, table.level, i, table.end)) {
            tablesEnd += kEntrySize;
            if (KeyAt(list[i], table.level).named)
                *namesSize += 2 + 2 * static_cast<uint32_t>(KeyAt(list[i], table.level).text.size());
            if (table.level < kLeafLevel)
                tables->push_back({table.level + 1, i, GroupEnd(list, table.level, i, table.end), 0});
        }
    }
    return tablesEnd;
}

// The tables' entries, their names from names on, and the leaves pointing at
// the data entries from dataEntries on, one per resource in list order.
void WriteTables(const std::vector<Resource>& list, const std::vector<Table>& tables, uint32_t names,
                 uint32_t dataEntries, uint8_t* bytes)
{
    size_t child = 1;
    for (const Table& table : tables) {
        uint8_t* entry = bytes + table.offset + kTableSize;
        for (size_t i = table.first; i < table.end; i = GroupEnd(list, table.level, i, table.end)) {
            const ResourceName& key = KeyAt(list[i], table.level);
            uint8_t* count = bytes + table.offset + (key.named ? 12 : 14);
            Put16(count, Read16(count) + 1);
            Put32(entry, key.named ? kHighBit | names : key.id);
            if (key.named) {
                Put16(bytes + names, static_cast<uint32_t>(key.text.size()));
                for (size_t u = 0; u < key.text.size(); ++u)
                    Put16(bytes + names + 2 + 2 * u, key.text[u]);
                names += 2 + 2 * static_cast<uint32_t>(key.text.size());
            }
            Put32(entry + 4, table.level < kLeafLevel ? kHighBit | tables[child++].offset
                                                      : dataEntries + kDataEntrySize * static_cast<uint32_t>(i));
            entry += kEntrySize;
        }
    }
}

// The section's bytes for resources placed at rva: the tables, then the
// names, the data entries and the data, as resource compilers lay them out.
std::vector<uint8_t> TreeBytes(std::vector<Resource> list, uint32_t rva)
{
    std::stable_sort(list.begin(), list.end(), Before);
    std::vector<Table> tables = {{0, 0, list.size(), 0}};
    uint32_t namesSize;
    uint32_t names = LayOutTables(list, &tables, &namesSize);
    uint32_t dataEntries = AlignUp(names + namesSize, 4);
    uint32_t dataEnd = AlignUp(dataEntries + kDataEntrySize * static_cast<uint32_t>(list.size()), 8);
    std::vector<uint32_t> dataAt;
    for (const Resource& resource : list) {
        dataAt.push_back(dataEnd);
        dataEnd = AlignUp(dataEnd + static_cast<uint32_t>(resource.data.size()), 8);
    }
    std::vector<uint8_t> bytes(dataEnd);
    WriteTables(list, tables, names, dataEntries, bytes.data());
    for (size_t i = 0; i < list.size(); ++i) {
        uint8_t* entry = bytes.data() + dataEntries + kDataEntrySize * i;
        Put32(entry, rva + dataAt[i]);
        Put32(entry + 4, static_cast<uint32_t>(list[i].data.size()));
        Put32(entry + 8, list[i].codePage);
        std::copy(list[i].data.begin(), list[i].data.end(), bytes.begin() + dataAt[i]);
    }
    return bytes;
}

bool IsPowerOfTwo(uint32_t value)
{
    return value != 0 && (value & (value - 1)) == 0;
}

// Adds an empty resource section header after the last, where the headers
// leave room for one inside the page the launcher reads them from.
bool AddResourceSection(std::vector<uint8_t>* image, PeHeaders* pe, std::string* error)
{
    uint8_t* bytes = image->data();
    uint32_t at = pe->sectionTable + pe->sectionCount * kSectionHeaderSize;
    uint32_t headersEnd = Read32(bytes + pe->optional + kSizeOfHeadersField);
    if (pe->sectionCount == 0 || at + kSectionHeaderSize > std::min(headersEnd, kImageHeaderBytes)
        || std::any_of(bytes + at, bytes + at + kSectionHeaderSize, [](uint8_t b) { return b != 0; }))
        return Fail(error, "its headers have no room for a resource section");
    const uint8_t* last = bytes + at - kSectionHeaderSize;
    uint32_t lastSize = std::max(Read32(last + kVirtualSizeField), Read32(last + kRawSizeField));
    std::copy_n(".rsrc", 5, bytes + at);
    Put32(bytes + at + kAddressField, AlignUp(Read32(last + kAddressField) + lastSize,
                                              Read32(bytes + pe->optional + kSectionAlignmentField)));
    Put32(bytes + at + kRawPointerField, static_cast<uint32_t>(image->size()));
    Put32(bytes + at + kCharacteristicsField, kResourceCharacteristics);
    Put16(bytes + pe->optional - 20 + 2, ++pe->sectionCount);
    return true;
}

// Only the base relocations may follow the resource section, nothing else
// may point into it or past it, and its bytes and theirs end the file.
bool CanRebuildFrom(const uint8_t* bytes, size_t size, const PeHeaders& pe, uint32_t first, std::string* error)
{
    const uint8_t* section = bytes + pe.sectionTable + first * kSectionHeaderSize;
    uint32_t start = Read32(section + kAddressField);
    uint32_t relocations = Read32(bytes + pe.directories + kRelocationDirectory * kEntrySize);
    for (uint32_t i = 0; i < pe.directoryCount; ++i) {
        uint32_t rva = Read32(bytes + pe.directories + i * kEntrySize);
        if (i != kResourceDirectory && i != kRelocationDirectory && i != kSecurityDirectory && rva >= start)
            return Fail(error, "a data directory other than the relocations points past its resources");
    }
    uint64_t end = Read32(section + kRawPointerField);
    for (uint32_t i = first; i < pe.sectionCount; ++i, section += kSectionHeaderSize) {
        if (i > first && Read32(section + kAddressField) != relocations)
            return Fail(error, "a section other than the relocations follows its resources");
        if (Read32(section + kRawPointerField) != end)
            return Fail(error, "its sections from the resources on do not follow each other in the file");
        end += Read32(section + kRawSizeField);
    }
    if (end != size)
        return Fail(error, "its sections from the resources on do not end the file");
    return true;
}

}  // namespace

ResourceName ResourceId(uint32_t id)
{
    return ResourceName{false, id, std::u16string()};
}

bool FindResourceSection(const uint8_t* image, size_t size, ResourceSection* section, std::string* error)
{
    section->found = false;
    PeHeaders pe;
    if (!LocatePe(image, size, &pe))
        return Fail(error, "its PE headers cannot be read");
    uint32_t rva = pe.directoryCount > kResourceDirectory
                       ? Read32(image + pe.directories + kResourceDirectory * kEntrySize)
                       : 0;
    if (rva == 0)
        return true;
    for (uint32_t i = 0; i < pe.sectionCount; ++i) {
        const uint8_t* header = image + pe.sectionTable + i * kSectionHeaderSize;
        if (Read32(header + kAddressField) == rva) {
            *section = {true, Read32(header + kRawPointerField), Read32(header + kRawSizeField), rva};
            return true;
        }
    }
    return Fail(error, "its resource directory does not start a section");
}

bool ReadResources(const uint8_t* sectionBytes, size_t size, uint32_t rva, std::vector<Resource>* resources,
                   std::string* error)
{
    TreeReader reader = {sectionBytes, size, rva, 0, 0, resources, error};
    Resource resource = {};
    return ReadTable(&reader, 0, 0, &resource);
}

bool ReplaceResources(std::vector<uint8_t>* image, const std::vector<Resource>& resources, std::string* error)
{
    PeHeaders pe;
    ResourceSection found;
    if (!LocatePe(image->data(), image->size(), &pe) || pe.directoryCount <= kRelocationDirectory)
        return Fail(error, "its PE headers cannot be read or lack the data directories");
    uint32_t fileAlignment = Read32(image->data() + pe.optional + kFileAlignmentField);
    uint32_t sectionAlignment = Read32(image->data() + pe.optional + kSectionAlignmentField);
    if (!IsPowerOfTwo(fileAlignment) || !IsPowerOfTwo(sectionAlignment) || image->size() % fileAlignment != 0)
        return Fail(error, "its alignments are not those a linker writes");
    if (!FindResourceSection(image->data(), image->size(), &found, error))
        return false;
    uint32_t first = pe.sectionCount;
    for (uint32_t i = 0; found.found && i < pe.sectionCount; ++i) {
        if (Read32(image->data() + pe.sectionTable + i * kSectionHeaderSize + kAddressField) == found.rva)
            first = i;
    }
    if (!found.found && !AddResourceSection(image, &pe, error))
        return false;
    if (!CanRebuildFrom(image->data(), image->size(), pe, first, error))
        return false;

    // The sections from the resources on are written again, each after the last.
    uint32_t headerAt = pe.sectionTable + first * kSectionHeaderSize;
    uint32_t rawStart = Read32(image->data() + headerAt + kRawPointerField);
    std::vector<uint8_t> old(image->begin() + rawStart, image->end());
    uint32_t oldRawSize = Read32(image->data() + headerAt + kRawSizeField);
    uint32_t rva = Read32(image->data() + headerAt + kAddressField);
    std::vector<uint8_t> tree = TreeBytes(resources, rva);
    image->resize(rawStart);
    image->insert(image->end(), tree.begin(), tree.end());
    image->resize(AlignUp(static_cast<uint32_t>(image->size()), fileAlignment));
    uint8_t* header = image->data() + headerAt;
    Put32(header + kVirtualSizeField, static_cast<uint32_t>(tree.size()));
    Put32(header + kRawSizeField, static_cast<uint32_t>(image->size()) - rawStart);
    uint8_t* initializedData = image->data() + pe.optional + kInitializedDataField;
    Put32(initializedData, Read32(initializedData) + Read32(header + kRawSizeField) - oldRawSize);
    Put32(image->data() + pe.directories + kResourceDirectory * kEntrySize, rva);
    Put32(image->data() + pe.directories + kResourceDirectory * kEntrySize + 4, static_cast<uint32_t>(tree.size()));
    uint32_t oldAt = oldRawSize;
    uint32_t imageEnd = rva + static_cast<uint32_t>(tree.size());
    for (uint32_t i = first + 1; i < pe.sectionCount; ++i) {
        header = image->data() + pe.sectionTable + i * kSectionHeaderSize;
        uint32_t rawSize = Read32(header + kRawSizeField);
        uint32_t address = AlignUp(imageEnd, sectionAlignment);
        Put32(header + kAddressField, address);
        Put32(header + kRawPointerField, static_cast<uint32_t>(image->size()));
        Put32(image->data() + pe.directories + kRelocationDirectory * kEntrySize, address);
        imageEnd = address + std::max(Read32(header + kVirtualSizeField), rawSize);
        image->insert(image->end(), old.begin() + oldAt, old.begin() + oldAt + rawSize);
        oldAt += rawSize;
    }
    Put32(image->data() + pe.optional + kSizeOfImageField, AlignUp(imageEnd, sectionAlignment));
    return true;
}
