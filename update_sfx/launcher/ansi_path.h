// Paths from the system and the registry, and text from configurations, in the
// ANSI code page, the form the launcher works in: spelled exactly or not at
// all, never by a look-alike.
#pragma once

#include <windows.h>

// 1 when text converts to the code page and back to exactly the same UTF-16,
// terminator included, in size bytes; ansi (size bytes) receives it, back
// (size wide characters) is the converter's scratch. A letter the code page
// lacks would become '?' or a look-alike by best fit: such text is refused.
int ConvertExactly(const wchar_t* text, UINT codePage, char* ansi, wchar_t* back, int size);

// ConvertExactly into a path buffer (259 bytes and a terminator).
int SpellExactly(const wchar_t* text, UINT codePage, char* ansi);

// A path in the code page, in a path buffer: its own spelling where that is
// exact and fits, else its short (8.3) form under the same test. 0 when
// neither passes (the short form needs an existing path on a volume that
// keeps short names); ansi is then empty.
int SpellPath(const wchar_t* path, UINT codePage, char* ansi);

// The launcher's own file: its path in UTF-16, in a path buffer of wide
// characters. 0 when it does not fit.
int GetOwnPath(wchar_t* wide);
