// SHA-1, for the digest older signatures hold of a launcher; nothing else in
// the tool relies on it.
#pragma once

#include <stddef.h>

#include "block_hash.h"

const size_t kSha1Size = 20;

// Starts a digest to be fed with HashAdd and ended with HashEnd.
void Sha1Begin(BlockHash* hash);
