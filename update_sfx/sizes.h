// Fixed buffer sizes shared by the launcher's parts.
#pragma once

// Paths: at most 259 characters and a terminator.
const unsigned kPathSize = 260;
// The updater's command line: at most 779 characters and a terminator.
const unsigned kCommandLineSize = 780;
