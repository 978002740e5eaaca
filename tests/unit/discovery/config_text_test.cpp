// Configuration text loading against real files.
#include "discovery/config_text.h"

#include <gtest/gtest.h>

#include "discovery/scramble.h"
#include "test_files.h"

namespace {

const uint8_t kKey[4] = {0xA5, 0x3C, 0x0F, 0xF0};

std::string Scramble(const std::string& body)
{
    std::string scrambled = body;
    ApplyKeyStream(reinterpret_cast<uint8_t*>(&scrambled[0]), static_cast<uint32_t>(scrambled.size()), kKey);
    return std::string("\x01\xFF\x02\xFE", 4) + std::string(reinterpret_cast<const char*>(kKey), 4) + scrambled;
}

// The loaded text, or "<none>" when LoadConfigText gave none.
std::wstring Load(const std::string& bytes)
{
    TempDir dir;
    std::string path = dir.Join("global.xml");
    WriteBytes(path, bytes);
    BSTR text = LoadConfigText(path.c_str());
    if (text == nullptr)
        return L"<none>";
    std::wstring copy(text, SysStringLen(text));
    SysFreeString(text);
    return copy;
}

const char kXml[] = "<items><VERSION>10.01.188</VERSION><NAME>Каса</NAME></items>";
const wchar_t kXmlWide[] = L"<items><VERSION>10.01.188</VERSION><NAME>Каса</NAME></items>";

TEST(LoadConfigText, PlainAndScrambledFilesWithOrWithoutMarkGiveTheSameText)
{
    EXPECT_EQ(Load(kXml), kXmlWide);
    EXPECT_EQ(Load(std::string("\xEF\xBB\xBF") + kXml), kXmlWide);
    EXPECT_EQ(Load(Scramble(kXml)), kXmlWide);
    EXPECT_EQ(Load(Scramble(std::string("\xEF\xBB\xBF") + kXml)), kXmlWide);
}

TEST(LoadConfigText, FilesWithoutTextGiveNone)
{
    EXPECT_EQ(Load(""), L"<none>");
    EXPECT_EQ(Load("\xEF\xBB\xBF"), L"<none>");
    EXPECT_EQ(Load(Scramble("\xEF\xBB\xBF")), L"<none>");
}

TEST(LoadConfigText, MissingOrLockedFileGivesNone)
{
    TempDir dir;
    EXPECT_EQ(LoadConfigText(dir.Join("absent.xml").c_str()), nullptr);

    std::string path = dir.Join("locked.xml");
    WriteBytes(path, kXml);
    HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_EQ(LoadConfigText(path.c_str()), nullptr);
    CloseHandle(lock);
}

TEST(LoadConfigText, EightByteFileWithSignatureIsReadAsPlainText)
{
    EXPECT_EQ(Load(std::string("\x01\xFF\x02\xFE" "abcd", 8)), std::wstring(L"\x0001\xFFFD\x0002\xFFFD" L"abcd"));
}

TEST(LoadConfigText, NineByteScrambledFileHasItsOneByteUnscrambledWithTheFirstKeyByte)
{
    std::string file("\x01\xFF\x02\xFE\xA5\x3C\x0F\xF0", 8);
    file += static_cast<char>(0xA5 ^ 'Z');
    EXPECT_EQ(Load(file), L"Z");
}

TEST(LoadConfigText, TextEndsAtTheFirstNul)
{
    EXPECT_EQ(Load(std::string("<items/>\0<more/>", 17)), L"<items/>");
    EXPECT_EQ(Load(Scramble(std::string("<a/>\0<b/>", 9))), L"<a/>");
}

TEST(LoadConfigText, InvalidUtf8IsReplacedNotRejected)
{
    std::wstring text = Load("<a>\xFF</a>");
    ASSERT_NE(text, L"<none>");
    EXPECT_EQ(text.substr(0, 3), L"<a>");
    EXPECT_EQ(text.substr(text.size() - 4), L"</a>");
}

}  // namespace
