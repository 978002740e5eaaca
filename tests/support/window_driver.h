// Drives windows as a person would: finds a process's dialogs and message
// boxes, reads their texts, presses their buttons.
#pragma once

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

struct SeenBox {
    std::wstring caption;
    std::wstring text;
    HWND owner;
    bool hasOwner;
};

std::wstring WindowText(HWND window);

// The text of a message box (its static control, id 0xFFFF).
std::wstring MessageBoxText(HWND box);

// Waits for a visible top-level dialog-class window of process pid, other
// than exclude, whose caption is caption (any caption when empty). nullptr on timeout.
HWND WaitForDialog(DWORD pid, DWORD timeoutMs, const std::wstring& caption = L"", HWND exclude = nullptr);

bool WaitUntilGone(HWND window, DWORD timeoutMs);

// This process's environment with TEMP and TMP set to tempDir and the extra
// NAME=value entries put in place of any of the same name, as a block for
// CreateProcessW with CREATE_UNICODE_ENVIRONMENT.
std::wstring EnvironmentWithTemp(const std::wstring& tempDir, const std::vector<std::wstring>& extra = {});

// Reads a message box and presses its OK button.
SeenBox ReadAndCloseBox(HWND box);

// Watches this process's own message boxes from a second thread: records each
// one and closes it, so that code under test that shows a box returns.
class BoxWatcher {
public:
    BoxWatcher();
    ~BoxWatcher();
    std::vector<SeenBox> Boxes();

private:
    void Run();
    std::thread thread_;
    CRITICAL_SECTION lock_;
    std::vector<SeenBox> boxes_;
    volatile LONG stop_ = 0;
};
