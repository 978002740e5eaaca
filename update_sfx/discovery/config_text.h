// Loads an installation's configuration file, plain or scrambled, as UTF-16 text.
#pragma once

#include <windows.h>
#include <oleauto.h>

// The text as a system string owned by the caller, or nullptr when the file
// cannot be read or holds no text. Shows nothing.
BSTR LoadConfigText(const char* path);
