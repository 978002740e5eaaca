// Window driving helpers for tests under Wine.
#include "window_driver.h"

namespace {

struct Search {
    DWORD pid;
    HWND exclude;
    const std::wstring* caption;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM param)
{
    Search* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || window == search->exclude || !IsWindowVisible(window))
        return TRUE;
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (lstrcmpW(className, L"#32770") != 0)
        return TRUE;
    if (!search->caption->empty() && WindowText(window) != *search->caption)
        return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

std::wstring WindowText(HWND window)
{
    wchar_t text[2048] = {};
    GetWindowTextW(window, text, 2048);
    return text;
}

std::wstring MessageBoxText(HWND box)
{
    wchar_t text[2048] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 2048);
    return text;
}

HWND WaitForDialog(DWORD pid, DWORD timeoutMs, const std::wstring& caption, HWND exclude)
{
    DWORD start = GetTickCount();
    for (;;) {
        Search search = {pid, exclude, &caption, nullptr};
        EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr)
            return search.found;
        if (GetTickCount() - start > timeoutMs)
            return nullptr;
        Sleep(20);
    }
}

bool WaitUntilGone(HWND window, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

SeenBox ReadAndCloseBox(HWND box)
{
    SeenBox seen;
    seen.caption = WindowText(box);
    seen.text = MessageBoxText(box);
    seen.owner = GetWindow(box, GW_OWNER);
    seen.hasOwner = seen.owner != nullptr;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return seen;
}

BoxWatcher::BoxWatcher()
{
    InitializeCriticalSection(&lock_);
    thread_ = std::thread([this] { Run(); });
}

BoxWatcher::~BoxWatcher()
{
    InterlockedExchange(&stop_, 1);
    thread_.join();
    DeleteCriticalSection(&lock_);
}

std::vector<SeenBox> BoxWatcher::Boxes()
{
    EnterCriticalSection(&lock_);
    std::vector<SeenBox> copy = boxes_;
    LeaveCriticalSection(&lock_);
    return copy;
}

void BoxWatcher::Run()
{
    while (InterlockedCompareExchange(&stop_, 0, 0) == 0) {
        HWND box = WaitForDialog(GetCurrentProcessId(), 50, L"", nullptr);
        if (box == nullptr || MessageBoxText(box).empty())
            continue;
        SeenBox seen = ReadAndCloseBox(box);
        EnterCriticalSection(&lock_);
        boxes_.push_back(seen);
        LeaveCriticalSection(&lock_);
        // A box being closed stays findable for a moment; do not count it twice.
        WaitUntilGone(box, 5000);
    }
}

std::wstring EnvironmentWithTemp(const std::wstring& tempDir, const std::vector<std::wstring>& extra)
{
    std::vector<std::wstring> added = {L"TEMP=" + tempDir, L"TMP=" + tempDir};
    added.insert(added.end(), extra.begin(), extra.end());
    auto replaced = [&added](const wchar_t* entry) {
        for (const std::wstring& add : added) {
            size_t name = add.find(L'=') + 1;
            if (_wcsnicmp(entry, add.c_str(), name) == 0)
                return true;
        }
        return false;
    };
    std::wstring block;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* p = strings; *p != L'\0'; p += lstrlenW(p) + 1) {
        if (!replaced(p))
            block += std::wstring(p) + L'\0';
    }
    FreeEnvironmentStringsW(strings);
    for (const std::wstring& entry : added)
        block += entry + L'\0';
    block += L'\0';
    return block;
}
