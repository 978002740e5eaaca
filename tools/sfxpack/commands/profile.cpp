// The profile file read line by line, each value checked against what the
// launcher does with it, and written in the launcher's own reader's format.
#include "commands/profile.h"

#include <algorithm>

#include "image/version_record.h"
#include "launcher/profile.h"

namespace {

struct ProfileKey {
    const char* name;
    const char* comment;
};

// In field order; the names before kProfileAlreadyRunning are [application]'s.
const ProfileKey kKeys[kProfileFieldCount] = {
    {"key", "the key under HKEY_LOCAL_MACHINE, in the 32-bit registry view, with one subkey per installed copy"},
    {"prefix", "the subkeys taken: those whose names begin with this, in any letter case"},
    {"path_value", "the string value in each subkey that holds the installation directory"},
    {"config", "the configuration file, relative to the installation directory"},
    {"version", "where the installed version is in the configuration"},
    {"mode", "where the mode is in the configuration"},
    {"server_mode", "the mode, in any letter case, that needs the server file; empty: no mode is read"},
    {"server", "the server file that mode needs in the installation directory"},
    {"updater", "the updater started from the installation directory"},
    {"updater_option", "the option before the installation and work directories on the updater's command line"},
    {"update_mutex", "the mutex your updater creates and holds while it runs: no launcher starts meanwhile"},
    {"launcher_mutex", "the mutex a running launcher holds"},
    {"already_running", "another launcher or an update is running"},
    {"temp_dir_failed", "the work directory cannot be made"},
    {"extract_failed", "the package cannot be written in full, or the launcher is damaged"},
    {"no_installation", "no installed copy was found"},
    {"launch_failed", "the updater cannot be started; the system's reason follows it"},
    {"bad_package", "the package's header cannot be read"},
    {"wrong_version", "the chosen copy's version does not take the package"},
    {"caption_warning", "the caption of temp_dir_failed, extract_failed, no_installation and launch_failed"},
    {"caption_attention", "the caption of already_running, bad_package and wrong_version"},
    {"chooser_caption", "the caption of the window in which the user chooses a copy"},
    {"ok", "its OK button"},
    {"cancel", "the cancel button of the chooser and of the progress window"},
    {"progress_caption", "the caption of the window shown while a large package is written"},
    {"progress_text", "the text in that window"},
};

const char kApplication[] = "application";
const char kTexts[] = "texts";
// Characters no Windows file name holds.
const char kNotInNames[] = "<>\"|?*";

bool IsText(uint32_t field)
{
    return field >= kProfileAlreadyRunning;
}

std::string Trim(const std::string& text)
{
    size_t begin = text.find_first_not_of(" \t");
    size_t end = text.find_last_not_of(" \t\r");
    return begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
}

// In a text, \n, \r and \\ stand for a line feed, a carriage return and a
// backslash; any other backslash is itself.
std::string Unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '\\' && (next == 'n' || next == 'r' || next == '\\')) {
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::u16string Escape(const std::u16string& text)
{
    std::u16string out;
    for (char16_t c : text)
        out += c == u'\n' ? u"\\n" : c == u'\r' ? u"\\r" : c == u'\\' ? u"\\\\" : std::u16string(1, c);
    return out;
}

std::u16string Default(uint32_t field)
{
    const char16_t* values[kProfileFieldCount];
    ReadProfile(nullptr, 0, values);
    return values[field];
}

// True when value holds one of characters, or a control character.
bool HasAny(const std::u16string& value, const char* characters)
{
    for (char16_t c : value) {
        for (const char* d = characters; *d != '\0'; ++d) {
            if (c == static_cast<char16_t>(*d) || c < 0x20)
                return true;
        }
    }
    return false;
}

// True for the name, before any extension, of a device found in every
// folder: CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9.
bool IsDeviceName(std::u16string stem)
{
    stem.erase(stem.find_last_not_of(u' ') + 1);
    for (char16_t& c : stem)
        c = c >= u'a' && c <= u'z' ? c - (u'a' - u'A') : c;
    if (stem.size() == 4 && std::u16string(u"123456789\u00B9\u00B2\u00B3").find(stem[3]) != stem.npos)
        return stem.compare(0, 3, u"COM") == 0 || stem.compare(0, 3, u"LPT") == 0;
    return stem == u"CON" || stem == u"PRN" || stem == u"AUX" || stem == u"NUL";
}

// True when a part of the path names a device rather than a file of its own.
bool NamesDevice(const std::u16string& path)
{
    for (size_t begin = 0; begin < path.size();) {
        size_t end = std::min(path.find_first_of(u"\\/", begin), path.size());
        if (IsDeviceName(path.substr(begin, std::min(path.find(u'.', begin), end) - begin)))
            return true;
        begin = end + 1;
    }
    return false;
}

// What is wrong with a value for the launcher, or nothing. A value that may
// be empty only where no server mode asks for it is checked at the end.
std::string CheckValue(uint32_t field, const std::u16string& value)
{
    std::string name = std::string("\"") + kKeys[field].name + "\"";
    if (value.size() > ProfileLimit(field))
        return name + " has " + std::to_string(value.size()) + " characters; the launcher holds "
               + std::to_string(ProfileLimit(field));
    if (value.find(u'\0') != std::u16string::npos)
        return name + " holds a zero byte";
    if (value.empty())
        return (kProfileMayBeEmpty & 1u << field) != 0 ? "" : name + " is empty; the launcher needs it";
    bool placed = StaysInPlace(field, value.c_str()) != 0;
    if ((field == kProfileUpdater || field == kProfileServer) && (!placed || HasAny(value, kNotInNames)
                                                                 || NamesDevice(value)))
        return name + " is not a plain file name";
    if (field == kProfileConfig && (!placed || HasAny(value, kNotInNames) || NamesDevice(value)))
        return name + " is not a path inside the installation directory (a \"..\", a drive, a leading or "
                      "doubled \\, a device or a part ending in a dot or a space)";
    if (!placed)
        return name + " holds a double quote, which would end a quoted piece of the command line";
    return "";
}

struct Parsed {
    std::u16string values[kProfileFieldCount];
    int lines[kProfileFieldCount];  // 0: not given
};

bool Fail(std::string* error, int line, const std::string& reason)
{
    *error = "line " + std::to_string(line) + ": " + reason;
    return false;
}

// One "key = value" line of section, checked and taken into parsed.
bool TakeSetting(const std::string& content, const char* section, int line, Parsed* parsed, std::string* error)
{
    size_t equals = content.find('=');
    if (equals == std::string::npos)
        return Fail(error, line, "neither a [section], a ; comment nor key = value");
    if (section == nullptr)
        return Fail(error, line, "a key before the first section");
    std::string key = Trim(content.substr(0, equals));
    uint32_t field = 0;
    while (field < kProfileFieldCount && (key != kKeys[field].name || (IsText(field) ? kTexts : kApplication) != section))
        ++field;
    if (field == kProfileFieldCount)
        return Fail(error, line, "unknown key \"" + key + "\" in [" + section + "]");
    if (parsed->lines[field] != 0)
        return Fail(error, line, "\"" + key + "\" is set again; line " + std::to_string(parsed->lines[field])
                                     + " set it first");
    std::string value = Trim(content.substr(equals + 1));
    parsed->values[field].clear();
    if (!Utf16FromUtf8(IsText(field) ? Unescape(value) : value, &parsed->values[field]))
        return Fail(error, line, "\"" + key + "\" is not valid UTF-8");
    std::string problem = CheckValue(field, parsed->values[field]);
    if (!problem.empty())
        return Fail(error, line, problem);
    parsed->lines[field] = line;
    return true;
}

bool ParseLines(const std::string& text, Parsed* parsed, std::string* error)
{
    const char* section = nullptr;
    size_t begin = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (int line = 1; begin <= text.size(); ++line) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        std::string content = Trim(text.substr(begin, end - begin));
        begin = end + 1;
        if (content.empty() || content[0] == ';')
            continue;
        if (content[0] != '[' || content.back() != ']') {
            if (!TakeSetting(content, section, line, parsed, error))
                return false;
            continue;
        }
        std::string name = content.substr(1, content.size() - 2);
        section = name == kApplication ? kApplication : name == kTexts ? kTexts : nullptr;
        if (section == nullptr)
            return Fail(error, line, "unknown section [" + name + "]; there are [application] and [texts]");
    }
    return true;
}

void PutWord(std::vector<uint8_t>* bytes, uint32_t word)
{
    bytes->push_back(static_cast<uint8_t>(word));
    bytes->push_back(static_cast<uint8_t>(word >> 8));
}

}  // namespace

bool BuildProfile(const std::string& text, std::vector<uint8_t>* resource, std::string* error)
{
    Parsed parsed;
    for (uint32_t field = 0; field < kProfileFieldCount; ++field) {
        parsed.values[field] = Default(field);
        parsed.lines[field] = 0;
    }
    if (!ParseLines(text, &parsed, error))
        return false;
    // A server mode needs the mode to read it by and the server it asks for.
    for (uint32_t field : {kProfileMode, kProfileServer}) {
        if (parsed.values[field].empty() && !parsed.values[kProfileServerMode].empty())
            return Fail(error, parsed.lines[field],
                        std::string("\"") + kKeys[field].name + "\" is empty, but server_mode is set");
    }
    resource->clear();
    for (uint32_t field = 0; field < kProfileFieldCount; ++field) {
        const std::u16string& value = parsed.values[field];
        if (value == Default(field))
            continue;
        PutWord(resource, field);
        PutWord(resource, static_cast<uint32_t>(value.size()));
        for (char16_t c : value)
            PutWord(resource, c);
        PutWord(resource, 0);
    }
    return true;
}

std::string DefaultProfile()
{
    std::string text =
        "; The names of your application and the launcher's texts, for sfxpack pack --profile.\n"
        "; UTF-8. Every key is optional: a key left out, or left as it is here, keeps its default.\n"
        "; [application] values are taken as they stand; in [texts], \\n is a line break,\n"
        "; \\r a carriage return and \\\\ a backslash.\n";
    for (uint32_t field = 0; field < kProfileFieldCount; ++field) {
        if (field == 0 || field == kProfileAlreadyRunning)
            text += std::string("\n[") + (IsText(field) ? kTexts : kApplication) + "]\n";
        std::u16string value = Default(field);
        text += std::string("; ") + kKeys[field].comment + "\n" + kKeys[field].name + " = "
                + Utf8FromUtf16(IsText(field) ? Escape(value) : value) + "\n";
    }
    return text;
}

bool PrintProfile(FILE* out, const std::vector<uint8_t>& resource)
{
    // Read as the launcher reads it: from an aligned copy, by the same reader.
    std::vector<uint16_t> words(resource.size() / 2 + 1);
    std::copy(resource.begin(), resource.end(), reinterpret_cast<uint8_t*>(words.data()));
    const char16_t* values[kProfileFieldCount];
    if (!ReadProfile(reinterpret_cast<const uint8_t*>(words.data()), static_cast<uint32_t>(resource.size()), values))
        return false;
    for (uint32_t field = 0; field < kProfileFieldCount; ++field) {
        std::u16string value = values[field];
        if (value != Default(field))
            fprintf(out, "profile: %s = %s\n", kKeys[field].name,
                    Utf8FromUtf16(IsText(field) ? Escape(value) : value).c_str());
    }
    return true;
}
