// The catalogue's exact texts and the launch error report, read off the screen.
#include "launcher/messages.h"
#include "launcher/profile_resource.h"

#include <gtest/gtest.h>

#include "window_driver.h"

namespace {

SeenBox ShowAndRead(const Message& message)
{
    BoxWatcher watcher;
    ShowMessage(message, nullptr);
    std::vector<SeenBox> boxes = watcher.Boxes();
    EXPECT_EQ(boxes.size(), 1u);
    return boxes.empty() ? SeenBox() : boxes[0];
}

TEST(Messages, CatalogueHoldsTheExactTextsCaptionsAndIcons)
{
    struct Row {
        const Message* message;
        const wchar_t* text;
        const wchar_t* caption;
        UINT icon;
    } rows[] = {
        {&MSG_ALREADY_RUNNING, L"Оновлення вже виконується.\r\nПочекайте закінчення роботи поновлення.", L"Увага!",
         0x10},
        {&MSG_TEMP_DIR_FAILED, L"Помилка стровення тимчасового каталога!", L"Увага", 0x10},
        {&MSG_EXTRACT_FAILED, L"Помилка розпакування оновлення!", L"Увага", 0x10},
        {&MSG_NO_INSTALLATION, L"Не знайдено жодної копії програми!", L"Увага", 0x10},
        {&MSG_LAUNCH_FAILED, L"Помилка запуска програми оновлення!", L"Увага", 0x10},
        {&MSG_BAD_PACKAGE, L"Помилка визначення версії оновлення!\nФайл оновлення пошкоджено!", L"Увага!", 0x10},
        {&MSG_WRONG_VERSION, L"Встановлення на цю версію неможливе!", L"Увага!", 0x30},
    };
    for (const Row& row : rows) {
        EXPECT_STREQ(ProfileValue(row.message->text), row.text);
        EXPECT_STREQ(ProfileValue(row.message->caption), row.caption);
        EXPECT_EQ(row.message->icon, row.icon);
    }
}

TEST(Messages, ShownBoxCarriesTextAndCaptionWithoutOwner)
{
    SeenBox box = ShowAndRead(MSG_NO_INSTALLATION);
    EXPECT_EQ(box.caption, L"Увага");
    EXPECT_EQ(box.text, L"Не знайдено жодної копії програми!");
    EXPECT_FALSE(box.hasOwner);
}

std::wstring SystemText(DWORD code)
{
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                   nullptr, code, 0x0400, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::wstring copy = text != nullptr ? text : L"";
    LocalFree(text);
    return copy;
}

SeenBox ReportFor(DWORD code)
{
    BoxWatcher watcher;
    SetLastError(code);
    ReportLaunchError(nullptr);
    std::vector<SeenBox> boxes = watcher.Boxes();
    EXPECT_EQ(boxes.size(), 1u);
    return boxes.empty() ? SeenBox() : boxes[0];
}

TEST(ReportLaunchError, JoinsTheFixedLineTheHexCodeAndTheSystemText)
{
    for (DWORD code : {2u, 5u, 193u}) {
        SeenBox box = ReportFor(code);
        wchar_t hex[16];
        wsprintfW(hex, L"0x%X: ", code);
        EXPECT_EQ(box.text, L"Помилка запуска програми оновлення!\n" + std::wstring(hex) + SystemText(code));
        EXPECT_EQ(box.caption, L"Увага");
        EXPECT_FALSE(box.hasOwner);
    }
    EXPECT_NE(ReportFor(193).text.find(L"\n0xC1: "), std::wstring::npos);
}

TEST(ReportLaunchError, CodeWithoutSystemTextStillShowsTheCode)
{
    SeenBox box = ReportFor(0x2FFFFFFF);
    EXPECT_EQ(box.text, L"Помилка запуска програми оновлення!\n0x2FFFFFFF: ");
}

}  // namespace
