// The version record a launcher can carry: the strings Explorer, the
// elevation prompt and scanners show, and the numeric versions beside them.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "package/version.h"

// The language and code page of the record's one string table: Ukrainian, Unicode.
const uint16_t kVersionLanguage = 0x0422;

// A record from NAME=VALUE texts in UTF-8. The numeric file and product
// versions come from FileVersion and ProductVersion when those are one to
// four dotted numbers, otherwise from target. False with the reason, which
// names the argument at fault.
bool BuildVersionRecord(const std::vector<std::string>& strings, const VersionTriple& target,
                        std::vector<uint8_t>* record, std::string* error);

// The numeric versions of a record ("file 10.1.190.0, product 10.1.190.0")
// and its NAME=VALUE strings in UTF-8; false when it is not a record.
bool ReadVersionRecord(const uint8_t* record, size_t size, std::string* numbers, std::vector<std::string>* strings);

// UTF-16 from UTF-8 text; false for bytes that are not UTF-8.
bool Utf16FromUtf8(const std::string& text, std::u16string* out);

// UTF-8 for the terminal, a control character or a lone surrogate shown as U+FFFD.
std::string Utf8FromUtf16(const std::u16string& text);
