// Resource identifiers of the launcher.
#pragma once

#define IDD_CHOOSER 101
#define IDC_INSTALL_LIST 1001
// The publisher's profile, raw data that sfxpack adds to a launcher.
#define IDR_PROFILE 102
