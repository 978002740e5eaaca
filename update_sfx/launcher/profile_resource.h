// The profile the launcher was packed with, read from its own resources.
#pragma once

#include <windows.h>

#include "launcher/profile.h"

// Reads the profile resource, if the launcher has one. 0 when it cannot be
// read; every value is then the default.
int LoadProfile();

// A value of the profile: the default until LoadProfile has read another.
const wchar_t* ProfileValue(ProfileField field);

// Gives a dialog of the launcher its caption, the text of the control item
// and the cancel button's text, all the profile's, as it is made (before it shows).
void ShowProfileTexts(HWND dialog, ProfileField caption, int item, ProfileField text);
