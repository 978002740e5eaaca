// Configuration files come plain (UTF-8) or scrambled: the signature 01 FF 02 FE,
// a four-byte key, then the UTF-8 body XORed with a key stream.
#pragma once

#include <stdint.h>

const uint32_t kScrambleHeaderSize = 8;

bool IsScrambled(const uint8_t* bytes, uint32_t size);

// XORs bytes with the key stream that starts from key (k0 first). The stream
// repeats every 8 bytes and the pass is its own inverse.
void ApplyKeyStream(uint8_t* bytes, uint32_t size, const uint8_t key[4]);

// Unscrambles a scrambled file in place and returns the offset where its text
// starts, past the signature, key and any UTF-8 byte-order mark. The result
// equals size when the file holds no text.
uint32_t ConfigTextStart(uint8_t* bytes, uint32_t size);
