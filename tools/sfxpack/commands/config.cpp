// Configuration scrambling with the launcher's key stream, in both directions.
#include "commands/config.h"

#include <string>
#include <vector>

#include "discovery/scramble.h"
#include "files/tool_limits.h"
#include "platform/file_io.h"
#include "status/status.h"

namespace {

const uint8_t kSignature[4] = {0x01, 0xFF, 0x02, 0xFE};
const int kKeyDigits = 8;

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

bool ParseKey(const char* text, uint8_t key[4])
{
    for (int i = 0; i < kKeyDigits; ++i) {
        // A short text fails at its terminator, before anything past it is read.
        int digit = HexValue(text[i]);
        if (digit < 0)
            return false;
        if (i % 2 == 0)
            key[i / 2] = static_cast<uint8_t>(digit << 4);
        else
            key[i / 2] = static_cast<uint8_t>(key[i / 2] | digit);
    }
    return text[kKeyDigits] == '\0';
}

int DecodeConfig(const char* inputPath, const char* outputPath, FILE* out, FILE* err)
{
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(inputPath, kMaxWholeFileSize, &bytes, &error))
        return Refuse(err, "cannot read INPUT %s: %s", inputPath, error.c_str());
    // Copying a plain file would hide a mix-up of files; the launcher reads it as it is.
    if (!IsScrambled(bytes.data(), static_cast<uint32_t>(bytes.size())))
        return Refuse(err, "INPUT %s is not scrambled (no 01 FF 02 FE signature before a body); the launcher "
                           "reads it as plain text",
                      inputPath);
    uint8_t* body = bytes.data() + kScrambleHeaderSize;
    uint32_t bodySize = static_cast<uint32_t>(bytes.size()) - kScrambleHeaderSize;
    ApplyKeyStream(body, bodySize, bytes.data() + 4);
    if (!WriteFileAtomically(outputPath, body, bodySize, &error))
        return Refuse(err, "cannot write OUTPUT %s: %s", outputPath, error.c_str());
    fprintf(out, "decoded %u bytes with key %02X%02X%02X%02X\n", bodySize, bytes[4], bytes[5], bytes[6], bytes[7]);
    return kToolOk;
}

int EncodeConfig(const uint8_t key[4], const char* inputPath, const char* outputPath, FILE* out, FILE* err)
{
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(inputPath, kMaxWholeFileSize - kScrambleHeaderSize, &bytes, &error))
        return Refuse(err, "cannot read INPUT %s: %s", inputPath, error.c_str());
    // Eight bytes alone are not the scrambled form: the launcher would read the signature as text.
    if (bytes.empty())
        return Refuse(err, "INPUT %s is empty; a scrambled file needs a body", inputPath);
    if (IsScrambled(bytes.data(), static_cast<uint32_t>(bytes.size())))
        return Refuse(err, "INPUT %s is already scrambled", inputPath);
    std::vector<uint8_t> scrambled(kSignature, kSignature + 4);
    scrambled.insert(scrambled.end(), key, key + 4);
    scrambled.insert(scrambled.end(), bytes.begin(), bytes.end());
    ApplyKeyStream(scrambled.data() + kScrambleHeaderSize, static_cast<uint32_t>(bytes.size()), key);
    if (!WriteFileAtomically(outputPath, scrambled.data(), scrambled.size(), &error))
        return Refuse(err, "cannot write OUTPUT %s: %s", outputPath, error.c_str());
    fprintf(out, "encoded %u bytes with key %02X%02X%02X%02X\n", static_cast<uint32_t>(bytes.size()), key[0], key[1],
            key[2], key[3]);
    return kToolOk;
}
