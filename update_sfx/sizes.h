// Fixed buffer sizes shared by the launcher's parts.
#pragma once

// Paths: at most 259 characters and a terminator.
const unsigned kPathSize = 260;
// The updater's command line: four pieces (the updater, its option and the
// two directories), each at most a path, two quotes and a space, so that it
// is never cut.
const unsigned kCommandLineSize = 4 * (kPathSize + 3);
