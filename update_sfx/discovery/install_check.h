// Decides whether a directory holds a usable installation, and reads its configuration.
#pragma once

#include <stdint.h>

#include "discovery/scan.h"

// 1 and the record filled (path and version) when the copy is accepted.
int CheckInstallDir(const char* directory, InstallationRecord* record);

// 1 when a version with three components was read from the configuration file.
int ReadInstallConfig(const char* configPath, int* isNetwork, int32_t* major, int32_t* minor, int32_t* build);
