// Version text rules. No platform calls: this file also builds natively for fuzzing.
#include "package/version.h"

namespace {

// Digits are read from the last to the first with a growing place value; any
// other character is skipped without moving the place. Unsigned arithmetic
// keeps components too large for 32 bits defined (they wrap).
int32_t ComponentValue(const char* first, const char* end)
{
    uint32_t value = 0;
    uint32_t place = 1;
    for (const char* p = end; p != first;) {
        --p;
        if (*p >= '0' && *p <= '9') {
            value += static_cast<uint32_t>(*p - '0') * place;
            place *= 10;
        }
    }
    return static_cast<int32_t>(value);
}

}  // namespace

int ParseVersion(const char* text, int32_t* major, int32_t* minor, int32_t* build)
{
    int32_t* fields[3] = {major, minor, build};
    uint32_t count = 0;
    const char* start = text;
    // The end of the text acts as one appended dot.
    for (const char* p = text;; ++p) {
        bool atEnd = (*p == '\0');
        if (!atEnd && *p != '.')
            continue;
        if (p == start)
            break;  // an empty component ends the scan
        if (count < 3)
            *fields[count] = ComponentValue(start, p);
        ++count;
        if (atEnd)
            break;
        start = p + 1;
    }
    return count == 3 ? 1 : 0;
}

int32_t VersionKey(const VersionTriple& v)
{
    uint32_t key = (static_cast<uint32_t>(v.major) * 10u + static_cast<uint32_t>(v.minor)) * 1000u
                   + static_cast<uint32_t>(v.build);
    return static_cast<int32_t>(key);
}

bool SameVersion(const VersionTriple& a, const VersionTriple& b)
{
    return a.major == b.major && a.minor == b.minor && a.build == b.build;
}
