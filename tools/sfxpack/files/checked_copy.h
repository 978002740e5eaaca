// Package bytes streamed through the CRC-32C in bounded chunks: packing,
// inspecting and extracting each read a package once and never hold it whole.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "image/image_checksum.h"
#include "platform/file_io.h"

// Which side of a copy failed, so that the refusal names the right file.
enum CopyResult {
    kCopyDone,
    kCopyReadFailed,
    kCopyWriteFailed,
};

// Reads size bytes from input's current position and gives their CRC-32C;
// each chunk also goes to output, and into imageSum, when they are not null.
CopyResult CopyWithChecksum(FILE* input, uint64_t size, FILE* output, uint32_t* checksum,
                            ImageSum* imageSum = nullptr);

// Refuses a failed copy with the file of the side that failed, the input as
// inputRole and inputPath or the output by its final name, and the system's reason.
int RefuseCopy(FILE* err, CopyResult result, const char* inputRole, const char* inputPath, FILE* input,
               const AtomicOutput& output);
