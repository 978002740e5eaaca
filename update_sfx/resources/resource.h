// Resource identifiers of the launcher.
#pragma once

#define IDD_CHOOSER 101
#define IDC_INSTALL_LIST 1001
