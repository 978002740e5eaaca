// The launcher stub built from the same commit as the tool, carried inside it
// so that pack needs no loose stub and the tool and stub cannot drift apart.
#pragma once

#include <stdint.h>

extern const unsigned char kEmbeddedStub[];
extern const uint32_t kEmbeddedStubSize;
