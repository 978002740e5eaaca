// The block and padding scheme SHA-1 and SHA-256 share, so that either digest
// can be taken over a file streamed in chunks of any size.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

const size_t kHashBlockSize = 64;
const size_t kMaxHashStateWords = 8;

struct BlockHash {
    uint32_t state[kMaxHashStateWords];
    size_t stateWords;  // the digest is this many big-endian words of state
    void (*compress)(uint32_t* state, const uint8_t* block);
    uint64_t length;  // bytes added so far
    uint8_t block[kHashBlockSize];
    size_t used;  // bytes of block waiting for the rest of it
};

void HashAdd(BlockHash* hash, const uint8_t* data, size_t size);

// Pads, as both define it, and writes 4 * stateWords bytes of digest.
void HashEnd(BlockHash* hash, uint8_t* digest);

// Bytes as lower-case hex digits, as sha256sum prints a digest.
std::string HexText(const uint8_t* bytes, size_t size);
