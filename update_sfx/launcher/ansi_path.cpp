// The one rule by which a path from the system or the registry, or text from a
// configuration, enters the launcher's ANSI code page. The launcher runs
// elevated: a look-alike spelling names another folder, which anyone may have
// created, or another version, so it is never used.
#include "launcher/ansi_path.h"

#include "sizes.h"

namespace {

int SameText(const wchar_t* a, const wchar_t* b)
{
    for (; *a == *b; ++a, ++b) {
        if (*a == L'\0')
            return 1;
    }
    return 0;
}

}  // namespace

int ConvertExactly(const wchar_t* text, UINT codePage, char* ansi, wchar_t* back, int size)
{
    // No flags: the UTF-8 code page allows none, and the way back catches
    // every best-fit and default character on any code page.
    if (WideCharToMultiByte(codePage, 0, text, -1, ansi, size, nullptr, nullptr) <= 0)
        return 0;
    // Text of at most size bytes has at most size characters.
    if (MultiByteToWideChar(codePage, 0, ansi, -1, back, size) <= 0)
        return 0;
    return SameText(text, back);
}

int SpellExactly(const wchar_t* text, UINT codePage, char* ansi)
{
    wchar_t back[kPathSize];
    return ConvertExactly(text, codePage, ansi, back, kPathSize);
}

int SpellPath(const wchar_t* path, UINT codePage, char* ansi)
{
    if (SpellExactly(path, codePage, ansi))
        return 1;
    wchar_t shortPath[kPathSize];
    DWORD length = GetShortPathNameW(path, shortPath, kPathSize);
    if (length != 0 && length < kPathSize && SpellExactly(shortPath, codePage, ansi))
        return 1;
    ansi[0] = '\0';
    return 0;
}

int GetOwnPath(wchar_t* wide)
{
    DWORD length = GetModuleFileNameW(nullptr, wide, kPathSize);
    // A path cut to the buffer would name another file.
    return length != 0 && length < kPathSize;
}
