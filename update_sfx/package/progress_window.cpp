// The extraction's progress window: a modeless dialog from a template held in
// the code, so that the image's resources stay the manifest and the chooser,
// and the dialog manager gives it the chooser's font, frame and keys. Any part
// of it that cannot be made leaves the copy without feedback, never stopped.
#include "package/progress_window.h"

#include <commctrl.h>
#include <stddef.h>

#include "launcher/instance.h"
#include "launcher/profile_resource.h"

namespace {

// A package written within this time shows nothing, so a fast update never flickers.
const DWORD kShowAfterMs = 500;
const DWORD kFeedEveryMs = 100;

const WORD kClassOrdinal = 0xFFFF;
const WORD kButtonClass = 0x0080;
const WORD kStaticClass = 0x0082;
const int kBarId = 100;
const int kTextId = 101;

#pragma pack(push, 2)
// An in-memory dialog template: the header, its class, caption and font, then
// each control, every control starting on a four-byte boundary. The strings
// are empty: the texts are the profile's, set as the window is made. Units
// are dialog units, as the chooser's.
struct ProgressTemplate {
    DLGTEMPLATE dialog;
    WORD menu;
    WORD windowClass;
    wchar_t caption[1];
    WORD pointSize;
    wchar_t font[13];
    DLGITEMTEMPLATE text;
    WORD textClass[2];
    wchar_t textTitle[1];
    WORD textExtra;
    WORD pad1;
    DLGITEMTEMPLATE bar;
    wchar_t barClass[18];
    WORD barTitle;
    WORD barExtra;
    WORD pad2;
    DLGITEMTEMPLATE button;
    WORD buttonClass[2];
    wchar_t buttonTitle[1];
    WORD buttonExtra;
};
#pragma pack(pop)
static_assert(offsetof(ProgressTemplate, text) % 4 == 0 && offsetof(ProgressTemplate, bar) % 4 == 0
                  && offsetof(ProgressTemplate, button) % 4 == 0,
              "dialog controls start on four-byte boundaries");

// Centred, in the foreground with its own taskbar button, as the chooser is;
// the close box, Esc and the button all give IDCANCEL. The button is neither
// the default nor a tab stop, so the focus never rests on it: an Enter or a
// Space meant for another program, typed as the window comes to the front,
// does not cancel the update.
alignas(4) const ProgressTemplate kTemplate = {
    {DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, WS_EX_APPWINDOW, 3,
     0, 0, 240, 62},
    0,
    0,
    L"",
    8,
    L"MS Shell Dlg",
    {WS_CHILD | WS_VISIBLE, 0, 6, 6, 228, 10, kTextId},
    {kClassOrdinal, kStaticClass},
    L"",
    0,
    0,
    {WS_CHILD | WS_VISIBLE, 0, 6, 20, 228, 10, kBarId},
    PROGRESS_CLASSW,
    0,
    0,
    0,
    {WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 184, 42, 50, 14, IDCANCEL},
    {kClassOrdinal, kButtonClass},
    L"",
    0,
};

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        ShowProfileTexts(dialog, kProfileProgressCaption, kTextId, kProfileProgressText);
        // With no tab stop the system focuses the first control, the text: the
        // button is last in the template, so the focus never rests on it.
        return TRUE;
    }
    // Only asks: the copy stops after its current piece. Once the copy is
    // over nothing reads the request, and the button and the close box are
    // disabled, so that nothing offers it.
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        reinterpret_cast<ExtractionProgress*>(GetWindowLongPtrA(dialog, GWLP_USERDATA))->cancelled = 1;
        return TRUE;
    }
    return FALSE;
}

// Centred on the screen and in the foreground; nullptr when it cannot be made.
HWND MakeWindow(ExtractionProgress* progress, uint32_t total)
{
    HWND window = CreateDialogIndirectParamW(g_hInstance, &kTemplate.dialog, nullptr, ProgressDialogProc,
                                             reinterpret_cast<LPARAM>(progress));
    if (window == nullptr)
        return nullptr;
    // Positions count pairs of bytes: a package of up to 4 GiB fits the bar's signed range.
    SendMessageW(GetDlgItem(window, kBarId), PBM_SETRANGE32, 0, static_cast<LPARAM>(total >> 1));
    SetForegroundWindow(window);
    return window;
}

// Answers whatever is waiting. The dialog's own messages, keys among them,
// are translated and dispatched by the dialog manager.
void PumpMessages(HWND window)
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageW(window, &message))
            DispatchMessageW(&message);
    }
}

}  // namespace

void BeginProgress(ExtractionProgress* progress)
{
    ZeroMemory(progress, sizeof *progress);
    progress->started = GetTickCount();
}

int FeedProgress(ExtractionProgress* progress, uint32_t done, uint32_t total)
{
    DWORD now = GetTickCount();
    if (progress->window == nullptr) {
        if (progress->tried || now - progress->started < kShowAfterMs)
            return 0;
        progress->tried = 1;
        progress->window = MakeWindow(progress, total);
        if (progress->window == nullptr)
            return 0;
    } else if (now - progress->fed < kFeedEveryMs) {
        return progress->cancelled;
    }
    progress->fed = now;
    SendMessageW(GetDlgItem(progress->window, kBarId), PBM_SETPOS, done >> 1, 0);
    PumpMessages(progress->window);
    return progress->cancelled;
}

void SettleProgress(ExtractionProgress* progress, uint32_t total)
{
    if (progress->window == nullptr)
        return;
    SendMessageW(GetDlgItem(progress->window, kBarId), PBM_SETPOS, total >> 1, 0);
    EnableWindow(GetDlgItem(progress->window, IDCANCEL), FALSE);
    EnableMenuItem(GetSystemMenu(progress->window, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
}

void WaitAnswering(HWND window, HANDLE object)
{
    DWORD woke;
    while ((woke = MsgWaitForMultipleObjects(1, &object, FALSE, INFINITE, QS_ALLINPUT)) == WAIT_OBJECT_0 + 1)
        PumpMessages(window);
    // Should the wait itself fail, the object is still waited for: what it
    // writes is read once it has ended.
    if (woke != WAIT_OBJECT_0)
        WaitForSingleObject(object, INFINITE);
}

void EndProgress(ExtractionProgress* progress)
{
    if (progress->window != nullptr)
        DestroyWindow(progress->window);
    progress->window = nullptr;
}
