// The PE image checksum as signing tools and the system's CheckSumMappedFile
// compute it: the file's 16-bit little-endian words summed with their carries
// folded back, the CheckSum field counted as zero, then the file's length added.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The words of a file's bytes, added a chunk at a time in file order and not
// yet folded, so that sums of separate parts of one file add up.
struct ImageSum {
    uint64_t words;
    uint64_t end;  // the file offset after the last byte added
};

void AddToImageSum(ImageSum* sum, const uint8_t* bytes, size_t size);

// The checksum of a file of fileSize bytes whose words sum to words.
uint32_t FoldImageChecksum(uint64_t words, uint64_t fileSize);

// Where the CheckSum field lies among the first size bytes of a PE image;
// false when the optional header is too short to hold it.
bool ImageChecksumField(const uint8_t* headers, size_t size, uint32_t* at);

uint32_t ReadImageChecksum(const uint8_t* headers, uint32_t at);
void WriteImageChecksum(uint8_t* headers, uint32_t at, uint32_t checksum);
