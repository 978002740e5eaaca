// The application's names and the launcher's texts: today's by default, or
// those a publisher packed into the launcher as a resource of its own. The
// resource is read here, without the platform, so that it is fuzzed natively.
#pragma once

#include <stdint.h>

enum ProfileField {
    kProfileKey,
    kProfilePrefix,
    kProfilePathValue,
    kProfileConfig,
    kProfileVersion,
    kProfileMode,
    kProfileServerMode,
    kProfileServer,
    kProfileUpdater,
    kProfileUpdaterOption,
    kProfileUpdateMutex,
    kProfileLauncherMutex,
    kProfileAlreadyRunning,
    kProfileTempDirFailed,
    kProfileExtractFailed,
    kProfileNoInstallation,
    kProfileLaunchFailed,
    kProfileBadPackage,
    kProfileWrongVersion,
    kProfileCaptionWarning,
    kProfileCaptionAttention,
    kProfileChooserCaption,
    kProfileOk,
    kProfileCancel,
    kProfileProgressCaption,
    kProfileProgressText,
    kProfileFieldCount
};

// A name must fit a path buffer (259 characters and a terminator) once
// joined or spelled; a text has no buffer of its own but is kept short.
const uint32_t kProfileNameLimit = 259;
const uint32_t kProfileTextLimit = 1024;

// Names that may be empty: without a server mode no mode is read and no
// server is needed. Every other value needs at least one character.
const uint32_t kProfileMayBeEmpty = 1u << kProfileMode | 1u << kProfileServerMode | 1u << kProfileServer;

// The longest value of a field, in UTF-16 characters.
inline uint32_t ProfileLimit(uint32_t field)
{
    return field < kProfileAlreadyRunning ? kProfileNameLimit : kProfileTextLimit;
}

// 1 when a value keeps to its place: the updater and the server are files of
// the installation directory itself, the configuration a path inside it (no
// drive, stream, leading, doubled or trailing separator, no part ending in a
// dot or a space, which also rules out "." and ".."), and the updater's
// option holds no double quote, which would end a quoted piece of its
// command line. Every other value keeps to its place as it is.
int StaysInPlace(uint32_t field, const char16_t* value);

// The resource holds, for each value that differs from its default, in any
// order: the field, the length in characters, the characters and a zero, all
// 16-bit little-endian words. values receives every default, then the
// resource's values, which point into bytes. 0, with every value back at its
// default, for bytes the launcher cannot take: odd in size or address, a
// field unknown or given twice, a value too long, cut, holding a zero,
// empty where it may not be or out of its place. No bytes at all are the default profile.
int ReadProfile(const uint8_t* bytes, uint32_t size, const char16_t** values);
