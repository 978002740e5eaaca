// VS_VERSIONINFO built from the publisher's strings and read back for
// inspect. No platform calls, so that both builds of the tool write the same bytes.
#include "image/version_record.h"

#include <stdio.h>
#include <algorithm>

#include "image/byte_fields.h"

namespace {

typedef std::vector<uint8_t> Bytes;

// A block's length and its value's are 16-bit fields.
const size_t kMaxBlock = 0xFFFF;
const size_t kFixedInfoSize = 52;
const uint32_t kFixedInfoSignature = 0xFEEF04BD;
const uint32_t kFixedInfoStructure = 0x00010000;
const uint32_t kFlagsMask = 0x3F;
const uint32_t kWindowsNt32 = 0x00040004;
const uint32_t kApplication = 1;
const uint16_t kUnicodeCodePage = 0x04B0;
const uint16_t kBinaryBlock = 0, kTextBlock = 1;
const uint32_t kMaxVersionNumber = 0xFFFF;

size_t Align4(size_t value)
{
    return (value + 3) & ~static_cast<size_t>(3);
}

// The text and its terminating zero.
Bytes TextBytes(const std::u16string& text)
{
    Bytes bytes;
    for (char16_t unit : text)
        Append16(&bytes, unit);
    Append16(&bytes, 0);
    return bytes;
}

// A block: its length, its value's length (in characters for text), its
// type and key, then its value and its children, each on a four-byte boundary.
Bytes Block(const std::u16string& key, uint16_t type, const Bytes& value, size_t valueLength,
            const std::vector<Bytes>& children)
{
    Bytes block(6);
    Bytes keyBytes = TextBytes(key);
    block.insert(block.end(), keyBytes.begin(), keyBytes.end());
    block.resize(Align4(block.size()));
    block.insert(block.end(), value.begin(), value.end());
    for (const Bytes& child : children) {
        block.resize(Align4(block.size()));
        block.insert(block.end(), child.begin(), child.end());
    }
    block[0] = static_cast<uint8_t>(block.size());
    block[1] = static_cast<uint8_t>(block.size() >> 8);
    block[2] = static_cast<uint8_t>(valueLength);
    block[3] = static_cast<uint8_t>(valueLength >> 8);
    block[4] = static_cast<uint8_t>(type);
    return block;
}

}  // namespace

bool Utf16FromUtf8(const std::string& text, std::u16string* out)
{
    static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    for (size_t i = 0; i < text.size();) {
        uint8_t lead = static_cast<uint8_t>(text[i]);
        int length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            uint8_t next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = code << 6 | (next & 0x3F);
        }
        // Overlong forms and surrogates are not UTF-8.
        if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        if (code >= 0x10000) {
            out->push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            out->push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            out->push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return true;
}

// For inspect, which prints what a launcher holds: text from any file.
std::string Utf8FromUtf16(const std::u16string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t code = text[i];
        bool pair = code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00
                    && text[i + 1] < 0xE000;
        if (pair)
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (code >= 0xD800 && code < 0xE000)
            code = 0xFFFD;  // a lone surrogate
        else if (code < 0x20 || (code >= 0x7F && code < 0xA0))
            code = 0xFFFD;  // a control character, which would drive the terminal inspect prints to
        int length = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        static const uint8_t kLeads[] = {0, 0, 0xC0, 0xE0, 0xF0};
        out += static_cast<char>(length == 1 ? code : kLeads[length] | (code >> (6 * (length - 1))));
        for (int k = length - 2; k >= 0; --k)
            out += static_cast<char>(0x80 | ((code >> (6 * k)) & 0x3F));
    }
    return out;
}

namespace {

bool Refuse(std::string* error, const std::string& reason)
{
    *error = reason;
    return false;
}

enum Dotted { kNotDotted, kDottedTooLarge, kDottedNumbers };

// One to four dotted numbers, as the record's numeric versions hold them; the
// parts not given are zero, so that the same text always gives the same record.
Dotted ParseDotted(const std::string& text, uint16_t parts[4], std::string* tooLarge)
{
    std::fill(parts, parts + 4, uint16_t{0});
    size_t i = 0, count = 0;
    for (;;) {
        size_t start = i;
        uint32_t value = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            value = value > kMaxVersionNumber ? value : value * 10 + (text[i] - '0');
        if (i == start || count == 4)
            return kNotDotted;
        if (value > kMaxVersionNumber && tooLarge->empty())
            *tooLarge = text.substr(start, i - start);
        parts[count++] = static_cast<uint16_t>(value);
        if (i == text.size())
            return tooLarge->empty() ? kDottedNumbers : kDottedTooLarge;
        if (text[i++] != '.')
            return kNotDotted;
    }
}

// The numeric version from the string named name, or else from target.
bool NumericVersion(const std::vector<std::string>& strings, const std::string& name, const VersionTriple& target,
                    uint16_t parts[4], std::string* error)
{
    for (const std::string& text : strings) {
        if (text.compare(0, name.size() + 1, name + "=") != 0)
            continue;
        std::string tooLarge;
        Dotted dotted = ParseDotted(text.substr(name.size() + 1), parts, &tooLarge);
        if (dotted == kDottedTooLarge)
            return Refuse(error, "--version-string " + text + ": " + tooLarge
                                     + " is out of range; the version record's numbers are 0 to 65535");
        if (dotted == kDottedNumbers)
            return true;
    }
    int32_t numbers[3] = {target.major, target.minor, target.build};
    for (int i = 0; i < 3; ++i) {
        if (numbers[i] < 0 || static_cast<uint32_t>(numbers[i]) > kMaxVersionNumber) {
            char version[40];
            snprintf(version, sizeof(version), VERSION_DISPLAY_FORMAT, target.major, target.minor, target.build);
            return Refuse(error, std::string("the package's target version ") + version
                                     + " is out of range for the version record (numbers 0 to 65535); give " + name
                                     + " as dotted numbers");
        }
        parts[i] = static_cast<uint16_t>(numbers[i]);
    }
    parts[3] = 0;
    return true;
}

Bytes FixedInfo(const uint16_t file[4], const uint16_t product[4])
{
    Bytes info;
    for (uint32_t value : {kFixedInfoSignature, kFixedInfoStructure, static_cast<uint32_t>(file[0] << 16 | file[1]),
                           static_cast<uint32_t>(file[2] << 16 | file[3]),
                           static_cast<uint32_t>(product[0] << 16 | product[1]),
                           static_cast<uint32_t>(product[2] << 16 | product[3]), kFlagsMask, 0u, kWindowsNt32,
                           kApplication, 0u, 0u, 0u})
        Append32(&info, value);
    return info;
}

// The String blocks, each name once; false with the argument at fault.
bool StringBlocks(const std::vector<std::string>& strings, std::vector<Bytes>* blocks, std::string* error)
{
    std::vector<std::u16string> names;
    for (const std::string& text : strings) {
        size_t equals = text.find('=');
        std::u16string name, value;
        if (equals == std::string::npos || equals == 0)
            return Refuse(error, "--version-string " + text + " is not NAME=VALUE");
        if (!Utf16FromUtf8(text.substr(0, equals), &name) || !Utf16FromUtf8(text.substr(equals + 1), &value))
            return Refuse(error, "--version-string " + text + " is not UTF-8 text");
        for (const std::u16string& earlier : names) {
            if (earlier == name)
                return Refuse(error, "--version-string " + text.substr(0, equals) + " is given twice");
        }
        names.push_back(name);
        blocks->push_back(Block(name, kTextBlock, TextBytes(value), value.size() + 1, {}));
        if (blocks->back().size() > kMaxBlock)
            return Refuse(error, "--version-string " + text.substr(0, equals) + " has a value of "
                                     + std::to_string(value.size()) + " characters, longer than the version "
                                     "record holds");
    }
    return true;
}

struct VersionBlock {
    size_t end;
    std::u16string key;
    size_t value, valueLength, children;
    uint32_t type;
};

bool ReadBlock(const uint8_t* record, size_t at, size_t limit, VersionBlock* block)
{
    if (at + 6 > limit || Read16(record + at) < 6 || at + Read16(record + at) > limit)
        return false;
    block->end = at + Read16(record + at);
    block->valueLength = Read16(record + at + 2);
    block->type = Read16(record + at + 4);
    block->key.clear();
    size_t i = at + 6;
    for (; i + 2 <= block->end && Read16(record + i) != 0; i += 2)
        block->key.push_back(static_cast<char16_t>(Read16(record + i)));
    if (i + 2 > block->end)
        return false;
    block->value = Align4(i + 2);
    size_t valueBytes = block->type == kTextBlock ? 2 * block->valueLength : block->valueLength;
    block->children = Align4(block->value + valueBytes);
    return true;
}

// The children of parent, each read; false when one is damaged.
bool Children(const uint8_t* record, const VersionBlock& parent, std::vector<VersionBlock>* children)
{
    VersionBlock child;
    for (size_t at = parent.children; at < parent.end; at = Align4(child.end)) {
        if (!ReadBlock(record, at, parent.end, &child))
            return false;
        children->push_back(child);
    }
    return true;
}

}  // namespace

bool BuildVersionRecord(const std::vector<std::string>& strings, const VersionTriple& target, Bytes* record,
                        std::string* error)
{
    std::vector<Bytes> blocks;
    uint16_t file[4], product[4];
    if (!StringBlocks(strings, &blocks, error) || !NumericVersion(strings, "FileVersion", target, file, error)
        || !NumericVersion(strings, "ProductVersion", target, product, error))
        return false;
    char tableKey[9];
    snprintf(tableKey, sizeof(tableKey), "%04X%04X", kVersionLanguage, kUnicodeCodePage);
    Bytes table = Block(std::u16string(tableKey, tableKey + 8), kTextBlock, {}, 0, blocks);
    Bytes translation;
    Append16(&translation, kVersionLanguage);
    Append16(&translation, kUnicodeCodePage);
    Bytes var = Block(u"Translation", kBinaryBlock, translation, translation.size(), {});
    *record = Block(u"VS_VERSION_INFO", kBinaryBlock, FixedInfo(file, product), kFixedInfoSize,
                    {Block(u"StringFileInfo", kTextBlock, {}, 0, {table}), Block(u"VarFileInfo", kTextBlock, {}, 0, {var})});
    if (record->size() > kMaxBlock)
        return Refuse(error, "the --version-string values come to " + std::to_string(record->size())
                                 + " bytes in the version record, which holds at most 65535");
    return true;
}

bool ReadVersionRecord(const uint8_t* record, size_t size, std::string* numbers, std::vector<std::string>* strings)
{
    VersionBlock root;
    std::vector<VersionBlock> parts;
    if (!ReadBlock(record, 0, size, &root) || root.key != u"VS_VERSION_INFO" || root.valueLength != kFixedInfoSize
        || root.value + kFixedInfoSize > root.end || !Children(record, root, &parts))
        return false;
    const uint8_t* fixed = record + root.value;
    char text[80];
    snprintf(text, sizeof(text), "file %u.%u.%u.%u, product %u.%u.%u.%u", Read16(fixed + 10), Read16(fixed + 8),
             Read16(fixed + 14), Read16(fixed + 12), Read16(fixed + 18), Read16(fixed + 16), Read16(fixed + 22),
             Read16(fixed + 20));
    *numbers = text;
    for (const VersionBlock& part : parts) {
        std::vector<VersionBlock> tables;
        if (part.key != u"StringFileInfo")
            continue;
        if (!Children(record, part, &tables))
            return false;
        for (const VersionBlock& table : tables) {
            std::vector<VersionBlock> entries;
            if (!Children(record, table, &entries))
                return false;
            for (const VersionBlock& entry : entries) {
                std::u16string value;
                for (size_t at = entry.value; at + 2 <= entry.end && Read16(record + at) != 0; at += 2)
                    value.push_back(static_cast<char16_t>(Read16(record + at)));
                strings->push_back(Utf8FromUtf16(entry.key) + "=" + Utf8FromUtf16(value));
            }
        }
    }
    return true;
}
