// The chooser dialog: lists the installations and lets through only a pick
// whose version the package fits.
#include "selection/chooser.h"

#include <shlwapi.h>

#include "launcher/messages.h"
#include "launcher/profile_resource.h"
#include "package/header.h"
#include "resources/resource.h"
#include "selection/version_gate.h"

namespace {

// One list item: the version, a dash and the directory, at most 299 characters.
const int kItemTextSize = 300;

ChooserContext* ContextOf(HWND window)
{
    return reinterpret_cast<ChooserContext*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void FillList(HWND window, const ChooserContext* context)
{
    HWND list = GetDlgItem(window, IDC_INSTALL_LIST);
    for (uint32_t i = 0; i < context->count; ++i) {
        const InstallationRecord& record = context->list[i];
        // The directory as its user knows it, in UTF-16: the record's path may
        // be a short form that the code page can spell.
        wchar_t text[kItemTextSize];
        wnsprintfW(text, kItemTextSize, L"" VERSION_DISPLAY_FORMAT L" - %s", record.version.major,
                   record.version.minor, record.version.build, record.shownPath);
        text[kItemTextSize - 1] = L'\0';  // terminated whatever the formatter reports on a cut
        // The sorted list box answers with the position it gave the item; the
        // data set there travels with the item as later inserts move it, so
        // equal texts, prefixes and case variants each keep their own record.
        LRESULT item = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        if (item >= 0)
            SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(item), static_cast<LPARAM>(i));
    }
    SendMessageW(list, LB_SETCURSEL, 0, 0);
}

// TRUE when the command was handled; FALSE leaves the dialog waiting.
INT_PTR PressOk(HWND window, ChooserContext* context)
{
    HWND list = GetDlgItem(window, IDC_INSTALL_LIST);
    LRESULT item = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (item < 0)
        return TRUE;
    LRESULT data = SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(item), 0);
    // Item data is only ever a record index, but it is checked before it indexes the list.
    if (data < 0 || static_cast<uint32_t>(data) >= context->count)
        return TRUE;
    uint32_t index = static_cast<uint32_t>(data);
    if (!VersionFits(g_formatType, context->source, context->target, context->list[index].version)) {
        ShowMessage(MSG_WRONG_VERSION, window);
        return FALSE;
    }
    context->selected = static_cast<int32_t>(index);
    EndDialog(window, IDOK);
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK ChooserDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ChooserContext* context = reinterpret_cast<ChooserContext*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(context));
        ShowProfileTexts(window, kProfileChooserCaption, IDOK, kProfileOk);
        if (context != nullptr)
            FillList(window, context);
        return TRUE;  // the system focuses the first tab stop, the list box
    }
    if (message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK: {
        // A command that arrives before WM_INITDIALOG finds no context.
        ChooserContext* context = ContextOf(window);
        return context != nullptr ? PressOk(window, context) : FALSE;
    }
    case IDCANCEL:
        EndDialog(window, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}
