// Package header walk. No platform calls: this file also builds natively for fuzzing.
#include "package/header_walk.h"

namespace {

struct Walker {
    HeaderReadFn read;
    void* source;
    char scratch[kHeaderScratchSize];
};

bool ReadBytes(Walker* w, void* buffer, uint32_t size)
{
    return w->read(w->source, buffer, size) == 1;
}

bool ReadLength(Walker* w, uint32_t* length)
{
    unsigned char bytes[4];
    if (!ReadBytes(w, bytes, 4))
        return false;
    *length = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    return true;
}

// Reads size bytes into the scratch buffer and terminates them. A length that
// does not fit the buffer is refused before anything is read into it.
bool ReadField(Walker* w, uint32_t size)
{
    if (size >= kHeaderScratchSize)
        return false;
    if (!ReadBytes(w, w->scratch, size))
        return false;
    w->scratch[size] = '\0';
    return true;
}

bool ScratchIs(const Walker* w, const char* name)
{
    const char* a = w->scratch;
    while (*a != '\0' && *a == *name) {
        ++a;
        ++name;
    }
    return *a == *name;
}

// A name whose length is fixed in advance: the length must match first.
bool ReadFixedName(Walker* w, const char* name, uint32_t nameLength)
{
    uint32_t length;
    return ReadLength(w, &length) && length == nameLength && ReadField(w, length) && ScratchIs(w, name);
}

// A name taken at whatever length the file gives, compared up to its first zero.
bool ReadAnyName(Walker* w, const char* name)
{
    uint32_t length;
    return ReadLength(w, &length) && ReadField(w, length) && ScratchIs(w, name);
}

// 1 or 0 from the parser, -1 when the value could not be read at all.
int ReadVersionValue(Walker* w, VersionTriple* version)
{
    uint32_t length;
    if (!ReadLength(w, &length) || !ReadField(w, length))
        return -1;
    return ParseVersion(w->scratch, &version->major, &version->minor, &version->build);
}

bool ReadTerminator(Walker* w)
{
    char zero;
    return ReadBytes(w, &zero, 1);
}

}  // namespace

int WalkPackageHeaderEx(HeaderReadFn read, void* source, PackageHeader* header, HeaderStop* stop)
{
    Walker w;
    w.read = read;
    w.source = source;
    header->hasFormatType = false;

    char magic[5];
    if (!ReadBytes(&w, magic, 5) || magic[0] != 'P' || magic[1] != 'A' || magic[2] != 'T' || magic[3] != 'C'
        || magic[4] != 'H') {
        *stop = kHeaderBadMagic;
        return 0;
    }
    if (!ReadFixedName(&w, "PATCHHEAD", 9)) {
        *stop = kHeaderBadSection;
        return 0;
    }
    if (!ReadFixedName(&w, "SRCVERSION", 10)) {
        *stop = kHeaderBadSourceName;
        return 0;
    }
    int result = ReadVersionValue(&w, &header->source);
    if (result != 1) {
        *stop = kHeaderBadSourceValue;
        return 0;
    }
    if (!ReadTerminator(&w)) {
        *stop = kHeaderBadSourceTerminator;
        return result;
    }
    if (!ReadAnyName(&w, "DSTVERSION")) {
        *stop = kHeaderBadTargetName;
        return result;
    }
    result = ReadVersionValue(&w, &header->target);
    if (result != 1) {
        // An unreadable value means no parse was performed: the source's answer stands.
        *stop = kHeaderBadTargetValue;
        return result < 0 ? 1 : 0;
    }
    if (!ReadTerminator(&w)) {
        *stop = kHeaderBadTargetTerminator;
        return result;
    }
    if (!ReadAnyName(&w, "FORMATTYPE")) {
        *stop = kHeaderBadFormatName;
        return result;
    }
    unsigned char valueLength[4];
    unsigned char value[4];
    if (!ReadBytes(&w, valueLength, 4) || !ReadBytes(&w, value, 4)) {
        *stop = kHeaderBadFormatValue;
        return result;
    }
    header->formatType = value[0] | (value[1] << 8) | (value[2] << 16) | (static_cast<uint32_t>(value[3]) << 24);
    header->hasFormatType = true;
    *stop = kHeaderComplete;
    return result;
}

int WalkPackageHeader(HeaderReadFn read, void* source, PackageHeader* header)
{
    HeaderStop stop;
    return WalkPackageHeaderEx(read, source, header, &stop);
}
