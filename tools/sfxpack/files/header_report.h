// The package header as the tool reads it from a file and explains it to a publisher.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>

#include "package/header_walk.h"

struct HeaderReport {
    int result;  // the launcher's answer: 0 means it shows its bad-package message
    PackageHeader header;
    HeaderStop stop;
    // The system's reason when a read failed: the walk then says nothing of
    // the header, which may be whole. Empty otherwise.
    std::string readFailure;
};

// Walks the header from the file's current position, reading no more than length bytes.
HeaderReport WalkHeaderInFile(FILE* file, uint64_t length);

// Why the walk stopped short, in a publisher's words.
const char* HeaderStopReason(const HeaderReport& report);

// The source and target versions and the format type, as far as the walk read them.
void PrintHeader(FILE* out, const HeaderReport& report);
