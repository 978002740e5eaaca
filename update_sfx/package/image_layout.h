// Where the executable image ends in its file, read from its PE headers: the
// payload starts there.
#pragma once

#include <stdint.h>

// SizeOfHeaders plus the SizeOfRawData of every section. headers holds the
// first size bytes of the image (in memory or in the file). 0 when the headers
// are malformed or reach past size.
int PayloadOffset(const uint8_t* headers, uint32_t size, uint32_t* offset);
