// A sign of life while a large package is written: a small window of the
// launcher's own with a progress bar and a cancel button, shown only when the
// copy is still running half a second after it began. It lives on the
// launcher's thread: the copy pumps its messages between pieces, and
// WaitAnswering while another thread reads the installations.
#pragma once

#include <windows.h>

#include <stdint.h>

struct ExtractionProgress {
    DWORD started;   // tick count when the copy began
    DWORD fed;       // tick count of the last bar move and message pump
    int tried;       // the window was asked for once; it is never asked for again
    HWND window;     // nullptr until it shows, and wherever it could not be made
    int cancelled;   // set by the window: its button, Esc or its close box
};

void BeginProgress(ExtractionProgress* progress);

// Called between pieces with the bytes written so far and the payload's
// length: shows the window once
// the copy has run long enough, moves its bar and pumps its messages at most
// about every 100 ms. 1 when the user asked to cancel.
int FeedProgress(ExtractionProgress* progress, uint32_t done, uint32_t total);

// The copy is over: the bar full, the button and the close box (and so Esc
// and Alt+F4) disabled, so that nothing offers a cancel that nobody reads.
void SettleProgress(ExtractionProgress* progress, uint32_t total);

// Waits until object is signalled, answering window's messages meanwhile, so
// that Windows never marks it "(Not Responding)".
void WaitAnswering(HWND window, HANDLE object);

// Destroys the window, if it showed. The launcher ends it last, once the
// copy's next window (the chooser, which it owns, or a message box) has come
// up: Windows lets only the foreground process bring a window to the front,
// and the progress window holds the foreground for the launcher until then.
// Destroyed earlier, it would hand the foreground to another program, and the
// chooser or a report would open behind it.
void EndProgress(ExtractionProgress* progress);
