// A launcher's file as the launcher's own rules see it: the headers it reads,
// the payload it would copy, and that payload streamed through the checksum.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <vector>

#include "files/checked_copy.h"
#include "files/header_report.h"
#include "package/image_layout.h"

struct LauncherFile {
    FILE* file;
    uint32_t size;
    std::vector<uint8_t> headers;  // as many bytes as the launcher reads from its loaded image
    PayloadPlan plan;
    int planned;  // PlanPayload's answer: 0 for a checked package the file cannot hold
};

// Opens path and plans its payload; a ToolStatus, with the refusal on err for
// a file that is not a launcher at all (unreadable, 4 GiB or more, not a PE
// image, cut inside its image). Close it with CloseLauncher whatever the answer.
int OpenLauncher(const char* path, LauncherFile* launcher, FILE* err);
void CloseLauncher(LauncherFile* launcher);

// True when the certificate table starts after the payload and inside the
// file, the only table the launcher's rules stop a package at.
bool CertificateBoundsPackage(const LauncherFile& launcher);

// Refuses, in the tool's words, a planned package that does not fit: a cut
// file, or a recorded length that reaches into the certificate table.
int RefuseMissingPackage(const char* path, const LauncherFile& launcher, FILE* err);

// Walks the package header from the payload's start into *report; refuses a
// launcher that cannot be read there. Whether the header is whole is the caller's to say.
int WalkPayloadHeader(const char* path, LauncherFile* launcher, HeaderReport* report, FILE* err);

// Reads the planned payload in order and gives its CRC-32C; every chunk also
// goes to copy when it is not null.
CopyResult StreamPayload(LauncherFile* launcher, FILE* copy, uint32_t* checksum);
