// sfxpack config: configuration files between their plain and scrambled forms.
#pragma once

#include <stdint.h>
#include <stdio.h>

// Exactly eight hex digits, k0 first.
bool ParseKey(const char* text, uint8_t key[4]);

// Writes the unscrambled body of a scrambled file, byte for byte (a byte-order
// mark stays). A file the launcher would read as plain is refused.
int DecodeConfig(const char* inputPath, const char* outputPath, FILE* out, FILE* err);

// Writes the signature, the key and the scrambled input. Refuses an empty
// input and one already scrambled.
int EncodeConfig(const uint8_t key[4], const char* inputPath, const char* outputPath, FILE* out, FILE* err);
