// SHA-256, for the fingerprint of the stub the tool carries (the value a
// publisher compares with a build of the same commit and quotes to a scanner)
// and for the digest a signature holds of a launcher.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "block_hash.h"

const size_t kSha256Size = 32;

// Starts a digest to be fed with HashAdd and ended with HashEnd.
void Sha256Begin(BlockHash* hash);

void Sha256(const uint8_t* data, size_t size, uint8_t digest[kSha256Size]);

// The digest as 64 lower-case hex digits, as sha256sum prints it.
std::string Sha256Hex(const uint8_t* data, size_t size);
