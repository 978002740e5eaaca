// The launcher's reports to the user: every one is a modal message box.
#pragma once

#include <windows.h>

#include "launcher/profile.h"

// The text and caption are the profile's.
struct Message {
    ProfileField text;
    ProfileField caption;
    UINT icon;
};

extern const Message MSG_ALREADY_RUNNING;
extern const Message MSG_TEMP_DIR_FAILED;
extern const Message MSG_EXTRACT_FAILED;
extern const Message MSG_NO_INSTALLATION;
extern const Message MSG_LAUNCH_FAILED;
extern const Message MSG_BAD_PACKAGE;
extern const Message MSG_WRONG_VERSION;

// Shows the message modally and waits until the user closes it.
void ShowMessage(const Message& message, HWND owner);

// Reports a failed updater start with the system's text for the last error,
// in a box owned by owner (or none); call it straight after the failed call,
// before anything can change that code.
void ReportLaunchError(HWND owner);
