// Builds package headers byte by byte, so each test shows only what differs.
#pragma once

#include <stdint.h>

#include <string>

class PackageBuilder {
public:
    PackageBuilder& Raw(const std::string& bytes)
    {
        bytes_ += bytes;
        return *this;
    }
    PackageBuilder& U32(uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            bytes_ += static_cast<char>((value >> (8 * i)) & 0xFF);
        return *this;
    }
    PackageBuilder& Magic() { return Raw("PATCH"); }
    PackageBuilder& Name(const std::string& name) { return U32(static_cast<uint32_t>(name.size())).Raw(name); }
    // A text value: its length, the text, and the zero byte the length does not count.
    PackageBuilder& Text(const std::string& value) { return Name(value).Raw(std::string(1, '\0')); }
    PackageBuilder& Entry(const std::string& name, const std::string& value) { return Name(name).Text(value); }
    PackageBuilder& Format(uint32_t type) { return Name("FORMATTYPE").U32(4).U32(type); }

    // A whole header as publishers ship it, then the rest of a package.
    PackageBuilder& Header(const std::string& source, const std::string& target, uint32_t type)
    {
        return Magic().Name("PATCHHEAD").Entry("SRCVERSION", source).Entry("DSTVERSION", target).Format(type);
    }
    PackageBuilder& Tail()
    {
        return Entry("CRTDATE", "\x01\x02\x03").Entry("COMMENT", "x").Name("PATCHBODY").Name("PACKED_FILE");
    }

    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
};
