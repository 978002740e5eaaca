// Whether a signed launcher is still the file its signatures were made over:
// each signature's digest of the file against the file's own. The
// certificate chain, the signature over the signed attributes and the
// timestamp are not checked.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>

#include "launcher_file.h"

// Prints the number of signatures and a line for each. Empty when the digests
// that can be checked match and there is at least one; otherwise why the
// launcher is refused, to follow its name: a table that cannot be read, a
// digest that does not match, bytes after the table, no digest it can check.
std::string CheckSignatures(LauncherFile* launcher, uint32_t table, uint32_t tableSize, FILE* out);
