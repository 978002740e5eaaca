// Whether a signed launcher is still the file its signatures were made over,
// as Windows checks it short of the chain: each signature's digest of the
// file against the file, its signed content against its signed attributes'
// messageDigest, and its signer's signature over those attributes against
// the signer's certificate; with a pinned signer, that certificate too. The
// certificate chain and the timestamps are not checked.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "files/launcher_file.h"

// The certificate --signer names, by its SHA-256; none when fingerprint is empty.
struct SignerPin {
    std::vector<uint8_t> fingerprint;
};

// --signer's argument: a certificate file, PEM or DER, or its SHA-256 in hex
// (colons between the bytes allowed). Empty, or why it names no certificate.
std::string ReadSignerPin(const char* argument, SignerPin* pin);

// Prints the number of signatures and what was found of each, and the bytes
// no signature covers. Empty when every signature holds and there is at least
// one whose file digest is checked; otherwise why the launcher is refused, to
// follow its name.
std::string CheckSignatures(LauncherFile* launcher, uint32_t table, uint32_t tableSize, const SignerPin& pin,
                            FILE* out);

// The SHA-256 of bytes as 64 lower-case hex digits, as sha256sum prints it.
std::string Sha256Hex(const uint8_t* data, size_t size);
