// Package bytes streamed through the CRC-32C in bounded chunks: packing,
// inspecting and extracting each read a package once and never hold it whole.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "image_checksum.h"

// Reads size bytes from input's current position and gives their CRC-32C;
// each chunk also goes to output, and into imageSum, when they are not null.
// False when a read or a write fails.
bool CopyWithChecksum(FILE* input, uint64_t size, FILE* output, uint32_t* checksum, ImageSum* imageSum = nullptr);
