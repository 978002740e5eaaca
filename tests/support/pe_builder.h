// Builds PE images byte by byte (headers, then zero-filled section data), so
// each test of the image layout shows only the field it changes.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

class PeBuilder {
public:
    static constexpr uint32_t kNewHeaderOffset = 0x80;
    static constexpr uint32_t kSecurityEntry = 4;

    PeBuilder& Sections(const std::vector<uint32_t>& rawSizes)
    {
        rawSizes_ = rawSizes;
        return *this;
    }
    PeBuilder& HeaderSize(uint32_t size)
    {
        headerSize_ = size;
        return *this;
    }
    PeBuilder& Pe32Plus()
    {
        plus_ = true;
        return *this;
    }
    PeBuilder& DirectoryCount(uint32_t count)
    {
        directories_ = count;
        return *this;
    }
    // Overrides SizeOfOptionalHeader; the bytes laid out stay the same.
    PeBuilder& OptionalHeaderSize(uint16_t size)
    {
        optionalSizeOverride_ = size;
        return *this;
    }
    PeBuilder& NewHeaderOffset(uint32_t offset)
    {
        newHeader_ = offset;
        return *this;
    }
    PeBuilder& Certificate(uint32_t offset, uint32_t size)
    {
        certificateOffset_ = offset;
        certificateSize_ = size;
        return *this;
    }

    uint32_t OptionalOffset() const { return newHeader_ + 4 + 20; }
    uint32_t OptionalSize() const { return (plus_ ? 112 : 96) + 8 * directories_; }
    uint32_t SectionTableEnd() const
    {
        return OptionalOffset() + OptionalSize() + 40 * static_cast<uint32_t>(rawSizes_.size());
    }

    // The headers as far as the end of the section table: all a reader needs.
    std::string Headers() const
    {
        std::string b(SectionTableEnd(), '\0');
        b[0] = 'M';
        b[1] = 'Z';
        Put32(&b, 0x3C, newHeader_);
        b.replace(newHeader_, 4, std::string("PE\0\0", 4));
        uint32_t file = newHeader_ + 4;
        Put16(&b, file, plus_ ? 0x8664 : 0x14C);
        Put16(&b, file + 2, static_cast<uint32_t>(rawSizes_.size()));
        Put16(&b, file + 16, optionalSizeOverride_ ? optionalSizeOverride_ : OptionalSize());
        uint32_t optional = OptionalOffset();
        Put16(&b, optional, plus_ ? 0x20B : 0x10B);
        Put32(&b, optional + 60, headerSize_);
        uint32_t count = optional + (plus_ ? 108 : 92);
        Put32(&b, count, directories_);
        if (directories_ > kSecurityEntry) {
            Put32(&b, count + 4 + 8 * kSecurityEntry, certificateOffset_);
            Put32(&b, count + 4 + 8 * kSecurityEntry + 4, certificateSize_);
        }
        uint32_t section = optional + OptionalSize();
        for (uint32_t rawSize : rawSizes_) {
            Put32(&b, section + 16, rawSize);
            section += 40;
        }
        return b;
    }

    // Headers padded to SizeOfHeaders, then every section's raw data: what a linker writes.
    std::string Image() const
    {
        std::string b = Headers();
        if (b.size() < headerSize_)
            b.resize(headerSize_, '\0');
        for (uint32_t rawSize : rawSizes_)
            b.append(rawSize, '\0');
        return b;
    }

    static void Put16(std::string* b, uint32_t at, uint32_t value)
    {
        for (int i = 0; i < 2; ++i)
            (*b)[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    static void Put32(std::string* b, uint32_t at, uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            (*b)[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }

private:
    std::vector<uint32_t> rawSizes_{0x200, 0x200};
    uint32_t headerSize_ = 0x400;
    bool plus_ = false;
    uint32_t directories_ = 16;
    uint16_t optionalSizeOverride_ = 0;
    uint32_t newHeader_ = kNewHeaderOffset;
    uint32_t certificateOffset_ = 0;
    uint32_t certificateSize_ = 0;
};
