// The chooser dialog shown by the test program from its own template, and
// driven from a second thread as a person would.
#include "selection/chooser.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "launcher/instance.h"
#include "package/header.h"
#include "resources/resource.h"
#include "window_driver.h"

namespace {

const wchar_t kChooserCaption[] = L"Вибір каталога програми";
const VersionTriple kSource = {10, 1, 188};
const VersionTriple kTarget = {10, 1, 190};
const DWORD kWaitMs = 10000;

InstallationRecord Record(const char* path, int32_t build)
{
    InstallationRecord record = {};
    lstrcpynA(record.path, path, sizeof record.path);
    MultiByteToWideChar(CP_ACP, 0, path, -1, record.shownPath, kPathSize);
    record.version = {10, 1, build};
    return record;
}

std::string ItemText(const InstallationRecord& record)
{
    char text[300];
    wsprintfA(text, "%d.%02d.%03d - %s", record.version.major, record.version.minor, record.version.build,
              record.path);
    return text;
}

HWND ListOf(HWND dialog)
{
    return GetDlgItem(dialog, IDC_INSTALL_LIST);
}

std::vector<std::string> Items(HWND dialog)
{
    std::vector<std::string> items;
    LRESULT count = SendMessageA(ListOf(dialog), LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::string text(SendMessageA(ListOf(dialog), LB_GETTEXTLEN, i, 0) + 1, '\0');
        SendMessageA(ListOf(dialog), LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        items.push_back(text.c_str());
    }
    return items;
}

// Runs the dialog over records while person acts on it from a second thread.
// A dialog the person leaves open is ended from outside, so a failing script cannot hang the run.
template <typename Person>
INT_PTR ShowChooser(ChooserContext* context, uint32_t formatType, Person person)
{
    g_hInstance = GetModuleHandleA(nullptr);
    g_formatType = formatType;
    std::thread driver([&] {
        HWND dialog = WaitForDialog(GetCurrentProcessId(), kWaitMs, kChooserCaption);
        ASSERT_NE(dialog, nullptr);
        person(dialog);
        if (!WaitUntilGone(dialog, kWaitMs)) {
            ADD_FAILURE() << "the chooser stayed open";
            EndDialog(dialog, IDABORT);
        }
    });
    INT_PTR end = DialogBoxParamW(g_hInstance, MAKEINTRESOURCEW(IDD_CHOOSER), nullptr, ChooserDialogProc,
                                  reinterpret_cast<LPARAM>(context));
    driver.join();
    return end;
}

struct Pick {
    INT_PTR end;
    int32_t selected;
    std::string itemText;           // the text of the item the person picked
    std::vector<std::string> items;  // the whole list as shown
    std::vector<SeenBox> warnings;
    HWND dialog;
};

// Selects the item at position (or keeps the initial selection when position is
// negative) and presses OK. After a warning the person gives up with Cancel.
Pick PickAt(std::vector<InstallationRecord>& records, uint32_t formatType, int position)
{
    ChooserContext context = {records.data(), static_cast<uint32_t>(records.size()), -1, kSource, kTarget};
    Pick pick = {};
    pick.end = ShowChooser(&context, formatType, [&](HWND dialog) {
        pick.dialog = dialog;
        pick.items = Items(dialog);
        if (position >= 0)
            SendMessageA(ListOf(dialog), LB_SETCURSEL, position, 0);
        LRESULT current = SendMessageA(ListOf(dialog), LB_GETCURSEL, 0, 0);
        ASSERT_GE(current, 0);
        pick.itemText = pick.items[current];
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        DWORD start = GetTickCount();
        while (IsWindow(dialog) && GetTickCount() - start < kWaitMs) {
            HWND box = WaitForDialog(GetCurrentProcessId(), 50, L"Увага!", dialog);
            if (box == nullptr)
                continue;
            pick.warnings.push_back(ReadAndCloseBox(box));
            WaitUntilGone(box, kWaitMs);
            EXPECT_TRUE(IsWindowVisible(dialog)) << "a rejected pick must leave the chooser open";
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            break;
        }
    });
    pick.selected = context.selected;
    return pick;
}

void ExpectAccepted(const Pick& pick, const std::vector<InstallationRecord>& records)
{
    EXPECT_EQ(pick.end, IDOK) << pick.itemText;
    EXPECT_TRUE(pick.warnings.empty()) << pick.itemText;
    ASSERT_GE(pick.selected, 0);
    ASSERT_LT(static_cast<size_t>(pick.selected), records.size());
    EXPECT_EQ(ItemText(records[pick.selected]), pick.itemText);
}

void ExpectRejected(const Pick& pick)
{
    EXPECT_EQ(pick.end, IDCANCEL) << pick.itemText;
    EXPECT_EQ(pick.selected, -1) << pick.itemText;
    ASSERT_EQ(pick.warnings.size(), 1u) << pick.itemText;
    EXPECT_EQ(pick.warnings[0].caption, L"Увага!");
    EXPECT_EQ(pick.warnings[0].text, L"Встановлення на цю версію неможливе!");
    EXPECT_EQ(pick.warnings[0].owner, pick.dialog);
}

TEST(ChooserDialog, ListsVersionDashDirectorySortedWithTheFirstSelected)
{
    std::vector<InstallationRecord> records = {Record("C:\\A", 189), Record("C:\\B", 188)};
    Pick pick = PickAt(records, 2, -1);
    EXPECT_EQ(pick.items, (std::vector<std::string>{"10.01.188 - C:\\B", "10.01.189 - C:\\A"}));
    ExpectAccepted(pick, records);
    EXPECT_EQ(pick.selected, 1);
}

TEST(ChooserDialog, LetsThroughOnlyVersionsThePackageFits)
{
    // List order differs from the sorted order, so a position is no record index.
    std::vector<InstallationRecord> records = {Record("C:\\v", 190), Record("C:\\v", 188), Record("C:\\v", 187),
                                               Record("C:\\v", 189)};
    const struct {
        uint32_t formatType;
        int position;  // sorted: 187, 188, 189, 190
        bool accepted;
    } cases[] = {{2, 0, false}, {2, 1, true}, {2, 2, true}, {2, 3, false},
                 {0, 0, false}, {0, 1, true}, {0, 2, false}, {0, 3, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << c.formatType << ", item " << c.position);
        Pick pick = PickAt(records, c.formatType, c.position);
        if (c.accepted)
            ExpectAccepted(pick, records);
        else
            ExpectRejected(pick);
    }
}

TEST(ChooserDialog, EveryItemLeadsToOneRecordOfExactlyItsText)
{
    // Equal texts, a text that begins another, and texts that differ only in case.
    std::vector<InstallationRecord> records = {Record("C:\\App2", 188), Record("c:\\app", 188),
                                               Record("C:\\App", 188), Record("C:\\APP2", 188),
                                               Record("C:\\App", 188), Record("C:\\Ap", 188)};
    std::set<int32_t> reached;
    for (int position = 0; position < static_cast<int>(records.size()); ++position) {
        SCOPED_TRACE(position);
        Pick pick = PickAt(records, 0, position);
        ASSERT_EQ(pick.items.size(), records.size());
        ExpectAccepted(pick, records);
        reached.insert(pick.selected);
    }
    EXPECT_EQ(reached.size(), records.size());
}

TEST(ChooserDialog, OkWithoutAValidSelectionAndListNotificationsAreIgnored)
{
    std::vector<InstallationRecord> records = {Record("C:\\A", 188), Record("C:\\B", 188)};
    ChooserContext context = {records.data(), 2, -1, kSource, kTarget};
    INT_PTR end = ShowChooser(&context, 2, [](HWND dialog) {
        // Sent, not posted: each call returns only once the dialog has handled it.
        DWORD_PTR answer = 0;
        SendMessageA(ListOf(dialog), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        const WPARAM ignored[] = {IDOK, MAKEWPARAM(IDC_INSTALL_LIST, LBN_DBLCLK),
                                  MAKEWPARAM(IDC_INSTALL_LIST, LBN_SELCHANGE)};
        for (WPARAM command : ignored)
            EXPECT_NE(SendMessageTimeoutW(dialog, WM_COMMAND, command, 0, SMTO_NORMAL, kWaitMs, &answer), 0);
        // An item whose data is no record index must not reach past the list.
        SendMessageA(ListOf(dialog), LB_SETITEMDATA, 0, 2);
        SendMessageA(ListOf(dialog), LB_SETCURSEL, 0, 0);
        EXPECT_NE(SendMessageTimeoutW(dialog, WM_COMMAND, IDOK, 0, SMTO_NORMAL, kWaitMs, &answer), 0);
        EXPECT_EQ(WaitForDialog(GetCurrentProcessId(), 200, L"", dialog), nullptr) << "no box may appear";
        EXPECT_TRUE(IsWindowVisible(dialog));
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_EQ(end, IDCANCEL);
    EXPECT_EQ(context.selected, -1);
}

TEST(ChooserDialog, CancelButtonAndEscapeEndWithCancel)
{
    std::vector<InstallationRecord> records = {Record("C:\\A", 188), Record("C:\\B", 188)};
    ChooserContext context = {records.data(), 2, -1, kSource, kTarget};
    EXPECT_EQ(ShowChooser(&context, 2, [](HWND dialog) { PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); }),
              IDCANCEL);
    EXPECT_EQ(ShowChooser(&context, 2, [](HWND dialog) { PostMessageW(ListOf(dialog), WM_KEYDOWN, VK_ESCAPE, 0); }),
              IDCANCEL);
    EXPECT_EQ(context.selected, -1);
}

TEST(ChooserTemplate, MatchesTheLayoutTextsAndStyles)
{
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceExA(self, MAKEINTRESOURCEA(5) /* RT_DIALOG */, MAKEINTRESOURCEA(IDD_CHOOSER),
                                  MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    ASSERT_NE(found, nullptr) << "stored under 0x0419";
    const WORD* stored = static_cast<const WORD*>(LockResource(LoadResource(self, found)));
    EXPECT_TRUE(stored[0] == 1 && stored[1] == 0xFFFF) << "an extended template";

    // Enough records that the list needs its scroll bar, so the bar is on screen.
    std::vector<InstallationRecord> records(20, Record("C:\\App", 188));
    ChooserContext context = {records.data(), static_cast<uint32_t>(records.size()), -1, kSource, kTarget};
    ShowChooser(&context, 2, [&](HWND dialog) {
        EXPECT_EQ(GetWindowLongPtrA(dialog, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&context));
        const LONG frame = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        EXPECT_EQ(GetWindowLongW(dialog, GWL_STYLE) & frame, frame);
        EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW);
        EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);
        LOGFONTW font = {};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_STREQ(font.lfFaceName, L"MS Shell Dlg");
        EXPECT_EQ(font.lfWeight, 400);

        RECT size = {0, 0, 520, 129}, client, outer, work;
        MapDialogRect(dialog, &size);
        GetClientRect(dialog, &client);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);
        GetWindowRect(dialog, &outer);
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        EXPECT_NEAR(outer.left + outer.right, work.left + work.right, 2) << "centred";
        EXPECT_NEAR(outer.top + outer.bottom, work.top + work.bottom, 2) << "centred";

        const DWORD child = WS_VISIBLE | WS_TABSTOP;
        const struct {
            int id;
            const wchar_t* text;
            RECT units;  // x, y, width, height: each mapped on its own, as dialogs do
            DWORD style;
            DWORD styleMask;
        } controls[] = {
            {IDC_INSTALL_LIST, L"", {6, 6, 510, 96},
             child | WS_BORDER | WS_VSCROLL | LBS_SORT | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 0},
            {IDOK, L"\u041E\u041A", {402, 108, 50, 14}, child | BS_DEFPUSHBUTTON, BS_TYPEMASK},  // Cyrillic
            {IDCANCEL, L"Відмінити", {462, 108, 50, 14}, child | BS_PUSHBUTTON, BS_TYPEMASK},
        };
        for (const auto& c : controls) {
            SCOPED_TRACE(c.id);
            HWND control = GetDlgItem(dialog, c.id);
            ASSERT_NE(control, nullptr);
            EXPECT_EQ(WindowText(control), c.text);
            // Dialogs draw a bordered list box with a sunken client edge instead.
            DWORD style = GetWindowLongW(control, GWL_STYLE);
            if (GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)
                style |= WS_BORDER;
            EXPECT_EQ(style & (c.style | c.styleMask), c.style);
            RECT expected = c.units, actual;
            MapDialogRect(dialog, &expected);
            GetWindowRect(control, &actual);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
            EXPECT_EQ(actual.left, expected.left);
            EXPECT_EQ(actual.top, expected.top);
            EXPECT_EQ(actual.right - actual.left, expected.right);
            EXPECT_EQ(actual.bottom - actual.top, expected.bottom);
        }
        GUITHREADINFO gui = {sizeof gui};
        ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui));
        EXPECT_EQ(gui.hwndFocus, ListOf(dialog)) << "the first tab stop has the focus";
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
}

}  // namespace
