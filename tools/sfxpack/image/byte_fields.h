// Little-endian fields, as PE headers, resources and icon files hold them.
#pragma once

#include <stdint.h>

#include <vector>

inline uint32_t Read16(const uint8_t* p)
{
    return p[0] | (p[1] << 8);
}

inline uint32_t Read32(const uint8_t* p)
{
    return Read16(p) | Read16(p + 2) << 16;
}

inline void Put16(uint8_t* p, uint32_t value)
{
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

inline void Put32(uint8_t* p, uint32_t value)
{
    Put16(p, value);
    Put16(p + 2, value >> 16);
}

inline void Append16(std::vector<uint8_t>* bytes, uint32_t value)
{
    bytes->push_back(static_cast<uint8_t>(value));
    bytes->push_back(static_cast<uint8_t>(value >> 8));
}

inline void Append32(std::vector<uint8_t>* bytes, uint32_t value)
{
    Append16(bytes, value);
    Append16(bytes, value >> 16);
}
