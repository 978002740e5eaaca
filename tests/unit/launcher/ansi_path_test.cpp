// Paths into a code page: the exact spelling, else the short form, never a look-alike.
#include "launcher/ansi_path.h"

#include <gtest/gtest.h>

#include "test_files.h"

namespace {

enum Spelling { kLong, kShort, kNone };

std::string Ansi(const std::wstring& path, UINT codePage)
{
    char ansi[MAX_PATH * 3] = {};
    WideCharToMultiByte(codePage, 0, path.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
    return ansi;
}

TEST(SpellPath, TakesTheExactSpellingElseTheShortFormElseNothing)
{
    TempDir root;
    std::wstring base = WidePath(root.Path()) + L"\\";
    // 150 Cyrillic letters: 150 bytes in 1251, 300 in UTF-8, more than a path
    // holds. In two folders: a Linux file name holds at most 255 bytes.
    std::wstring longCyrillic = std::wstring(75, L'ж') + L"\\" + std::wstring(75, L'ш');
    MakeDir(base + std::wstring(75, L'ж'));
    struct Row {
        std::wstring name;
        UINT codePage;
        Spelling spelling;
    } rows[] = {
        {L"Program Data", 1251, kLong},         {L"Program Data", 1252, kLong},
        {L"Program Data", 65001, kLong},        {L"Каса Північ", 1251, kLong},
        {L"Каса Північ", 1252, kShort},         {L"Каса Північ", 65001, kLong},
        {L"Łucja Żółć", 1251, kShort},          {L"Łucja Żółć", 1252, kShort},
        {L"Łucja Żółć", 65001, kLong},          {L"Café", 1252, kLong},
        {L"Café", 1251, kShort},                {longCyrillic, 1251, kLong},
        {longCyrillic, 65001, kShort},          {L"absent Łucja", 1251, kNone},
    };
    for (const Row& row : rows) {
        std::wstring path = base + row.name;
        if (row.spelling != kNone)
            MakeDir(path);
        char spelled[MAX_PATH] = "unchanged";
        int result = SpellPath(path.c_str(), row.codePage, spelled);
        std::string expected = row.spelling == kLong    ? Ansi(path, row.codePage)
                               : row.spelling == kShort ? Ansi(ShortPath(path), row.codePage)
                                                        : "";
        EXPECT_EQ(result, row.spelling == kNone ? 0 : 1) << row.codePage << " " << path;
        EXPECT_EQ(std::string(spelled), expected) << row.codePage << " " << path;
        if (row.spelling == kShort)
            EXPECT_NE(expected.find('~'), std::string::npos) << "a short form, not a look-alike: " << expected;
    }
}

}  // namespace
