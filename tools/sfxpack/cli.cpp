// Argument handling: every subcommand answers --help, and anything else that
// does not fit its usage line is a usage error.
#include "cli.h"

#include <string.h>

#include <string>
#include <vector>

#include "commands/config.h"
#include "commands/embedded_stub.h"
#include "commands/examine.h"
#include "commands/extract.h"
#include "commands/pack.h"
#include "commands/profile.h"
#include "signing/signature_check.h"
#include "status/status.h"

namespace {

const char kToolHelp[] =
    "usage: sfxpack COMMAND ARGUMENTS\n"
    "       sfxpack --version\n"
    "\n"
    "Builds and checks update launchers: the launcher stub with an update package appended.\n"
    "The stub built from the same sources as this tool is carried inside it.\n"
    "\n"
    "commands:\n"
    "  pack [OPTIONS] [STUB] PACKAGE OUTPUT  write the launcher OUTPUT from [STUB and] PACKAGE\n"
    "  inspect LAUNCHER                      show what a launcher will find in itself\n"
    "  extract LAUNCHER OUTPUT               write the package file the launcher would write\n"
    "  profile                               print the default profile, to start one from\n"
    "  config decode INPUT OUTPUT            unscramble a configuration file\n"
    "  config encode --key HEX INPUT OUTPUT  scramble a configuration file\n"
    "\n"
    "\"sfxpack COMMAND --help\" describes a command. \"sfxpack --version\" prints the tool's\n"
    "version and the embedded stub's size and SHA-256. \"--\" ends the options: a file name\n"
    "that starts with a dash goes after it.\n"
    "Exit status: 0 done, 1 input refused (the reason on one line), 2 usage error. An\n"
    "interrupted command leaves no temporary file behind.\n";

const char kPackHelp[] =
    "usage: sfxpack pack [--icon FILE] [--version-string NAME=VALUE]... [--profile FILE]\n"
    "                    [STUB] PACKAGE OUTPUT\n"
    "\n"
    "Appends PACKAGE to the embedded stub, or to STUB when one is given, and writes the\n"
    "launcher to OUTPUT. The launcher's DOS header records the package length, so that a\n"
    "signed launcher still yields exactly the package, and the package's CRC-32C, which the\n"
    "launcher checks before it hands the package on. The image checksum in the PE header is\n"
    "that of the whole launcher, package included, as a signing tool writes it. Prints the\n"
    "package's source and target versions and format type, and the CRC-32C.\n"
    "\n"
    "Refuses a STUB that is not a PE image or does not end where its image ends (a symbol\n"
    "table, a signature or anything appended), a PACKAGE whose header the launcher would\n"
    "reject, and a launcher of 4 GiB or more. OUTPUT appears only when complete: it is\n"
    "written under a temporary name beside it and then renamed. STUB and PACKAGE are\n"
    "never changed. Sign OUTPUT, not the stub.\n"
    "\n"
    "Warns on standard error, and packs all the same, when format type 2 comes with a\n"
    "source version the launcher does not rank below the target (only the exact source\n"
    "then takes the package), and when the launcher comes within 1 MiB of 4 GiB, which a\n"
    "signature may cross.\n"
    "\n"
    "--icon FILE puts every image of the icon file FILE into the launcher, with one icon\n"
    "group: Explorer shows it. --version-string NAME=VALUE, repeatable, adds a string to\n"
    "the launcher's version record (Ukrainian, Unicode): FileDescription, which the\n"
    "elevation prompt shows as the program's name, ProductName, CompanyName,\n"
    "LegalCopyright, FileVersion, ProductVersion or any other NAME. The numeric file and\n"
    "product versions are FileVersion and ProductVersion where those are one to four\n"
    "dotted numbers, otherwise the package's target version (10.01.190 gives 10.1.190.0).\n"
    "The stub's manifest and dialog stay as they are; its resource section is rebuilt\n"
    "and the relocations after it move. An icon file that is not one, a version number\n"
    "over 65535, a NAME=VALUE without its = and a value longer than the record holds\n"
    "are refused before anything is written.\n"
    "\n"
    "--profile FILE gives the launcher your application's names and its texts: the UTF-8\n"
    "INI file FILE, which \"sfxpack profile\" prints with every default. Only the values\n"
    "that differ from the defaults go into the launcher, as a resource of their own.\n"
    "Refused before anything is written, with the line and the reason: an unknown section\n"
    "or key, a key set twice, an updater or server that is not a plain file name, a config\n"
    "that is not a path inside the installation directory, an updater_option with a double\n"
    "quote, an empty name the launcher needs, a value longer than the launcher holds, and\n"
    "a value that is not UTF-8. Without these options, or with a profile of defaults only,\n"
    "the stub's image changes only in its records and checksum.\n";

const char kProfileHelp[] =
    "usage: sfxpack profile\n"
    "\n"
    "Prints the default profile: every key of [application] (the registry key, subkey\n"
    "prefix and value, the configuration and where its version and mode are, the server\n"
    "mode and server file, the updater and its option, the two mutexes) and of [texts]\n"
    "(every message, caption and button) at the launcher's default, each with a one-line\n"
    "comment above it. Change what your application names otherwise and pack with\n"
    "\"sfxpack pack --profile FILE\"; packed unchanged it gives the default launcher.\n";

const char kInspectHelp[] =
    "usage: sfxpack inspect [--signer CERT] LAUNCHER\n"
    "\n"
    "Prints the payload offset and size; whether the launcher is signed, where its\n"
    "certificate table lies and how many signatures it holds (a nested signature counts as\n"
    "one more); the image checksum and whether it holds for the whole file; the recorded\n"
    "package length and checksum; whether the package is intact;\n"
    "the version strings, the number of icon images and the profile's values that differ\n"
    "from the defaults, when the launcher has them;\n"
    "and the package header's source and target versions and format type.\n"
    "\n"
    "Each signature, nested ones too, is checked as Windows checks it short of the chain:\n"
    "the signer's signature over the signed attributes with its certificate from the table,\n"
    "the signed content (the file's digest) against their messageDigest, that SHA-1,\n"
    "SHA-256, SHA-384 or SHA-512 digest against the file (all but its CheckSum field, the\n"
    "table's directory entry and the table). Bytes in the table no signature covers are\n"
    "shown with their place and size. Not checked: the certificate chain and the\n"
    "timestamps; \"osslsigncode verify\" or \"signtool verify /pa\" checks those. --signer CERT\n"
    "(a PEM or DER certificate file, or its SHA-256 in hex) requires every signature to be\n"
    "made by that certificate.\n"
    "\n"
    "Exit status 1 when LAUNCHER is not a PE image or is shorter than its image, when its\n"
    "package fails the recorded checksum (both values are printed) or lacks bytes (their\n"
    "number is printed), when it carries a package header the launcher would reject (the\n"
    "reason names where the header breaks), when a signature does not hold (the check that\n"
    "failed is named), when bytes follow the certificate table or a signature in it, when\n"
    "the table cannot be read, when no signature has a digest it checks, and with --signer\n"
    "when a signature is another certificate's or there is none, and when its profile\n"
    "cannot be read (such a launcher reports itself damaged). Unauthenticated attributes\n"
    "are shown, not refused: Windows accepts them and the launcher never reads them. A\n"
    "launcher without the checksum record is reported as unchecked, as the launcher\n"
    "extracts it unchecked.\n";

const char kExtractHelp[] =
    "usage: sfxpack extract LAUNCHER OUTPUT\n"
    "\n"
    "Writes to OUTPUT exactly the package file the launcher would write: the bytes after its\n"
    "image, up to the recorded package length when one is recorded and fits (a signature\n"
    "and its padding are left out), checked against the recorded CRC-32C when there is one.\n"
    "Compare OUTPUT with the package to know, without Windows, that a signed launcher still\n"
    "yields exactly what was packed.\n"
    "\n"
    "Refuses, and writes nothing, what the launcher would refuse: a file that is not a PE\n"
    "image or is shorter than its image, a package that fails its checksum or lacks bytes\n"
    "(a cut file, or a recorded length that reaches into the certificate table), an empty\n"
    "package, and a package header the launcher would reject. OUTPUT appears only when\n"
    "complete: it is written under a temporary name beside it and then renamed.\n";

const char kConfigHelp[] =
    "usage: sfxpack config decode INPUT OUTPUT\n"
    "       sfxpack config encode --key HEX INPUT OUTPUT\n"
    "\n"
    "decode writes the plain bytes of a scrambled configuration file (signature 01 FF 02 FE,\n"
    "a four-byte key, the scrambled body), byte for byte, byte-order mark included. A file\n"
    "the launcher reads as plain text is refused, not copied.\n"
    "\n"
    "encode writes 01 FF 02 FE, the key HEX (eight hex digits, k0 first) and INPUT\n"
    "scrambled; decoding the result gives INPUT back exactly. An empty or already\n"
    "scrambled INPUT is refused.\n";

// "--" ends the options: what follows it is a file name, even one that starts with a dash.
bool EndsOptions(const char* arg)
{
    return strcmp(arg, "--") == 0;
}

bool IsOption(const char* arg)
{
    return arg[0] == '-' && arg[1] != '\0';
}

bool WantsHelp(int argc, const char* const* argv)
{
    for (int i = 0; i < argc && !EndsOptions(argv[i]); ++i) {
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0)
            return true;
    }
    return false;
}

int Help(FILE* out, const char* text)
{
    fputs(text, out);
    return kToolOk;
}

int UsageError(FILE* err, const char* problem, const char* help)
{
    fprintf(err, "sfxpack: %s\n", problem);
    // The usage lines only, up to the blank line that ends them.
    const char* end = strstr(help, "\n\n");
    fwrite(help, 1, end != nullptr ? static_cast<size_t>(end - help) + 1 : strlen(help), err);
    return kToolUsage;
}

int UnknownOption(FILE* err, const char* option, const char* help)
{
    std::string problem = std::string("unknown option ") + option + "; put -- before a file name that starts with a dash";
    return UsageError(err, problem.c_str(), help);
}

// The positional arguments, and the value of one option named name where
// value asks for it; the first option the command does not take, if any.
const char* Positionals(int argc, const char* const* argv, std::vector<const char*>* positionals,
                        const char* name = nullptr, const char** value = nullptr)
{
    bool options = true;
    for (int i = 0; i < argc; ++i) {
        if (options && EndsOptions(argv[i]))
            options = false;
        else if (options && value != nullptr && *value == nullptr && strcmp(argv[i], name) == 0 && i + 1 < argc)
            *value = argv[++i];
        else if (options && IsOption(argv[i]))
            return argv[i];
        else
            positionals->push_back(argv[i]);
    }
    return nullptr;
}

bool IsBrandingOption(const char* arg)
{
    return strcmp(arg, "--icon") == 0 || strcmp(arg, "--version-string") == 0 || strcmp(arg, "--profile") == 0;
}

// The branding options go anywhere before "--"; the version strings are
// taken as UTF-8 text, the icon's name as a path like the others.
int RunPack(int argc, const char* const* argv, const char* const* text, FILE* out, FILE* err)
{
    Branding branding = {nullptr, {}, nullptr};
    std::vector<const char*> args;
    bool options = true;
    for (int i = 0; i < argc; ++i) {
        bool hasValue = i + 1 < argc;
        if (options && EndsOptions(argv[i]))
            options = false;
        else if (options && strcmp(argv[i], "--icon") == 0 && hasValue && branding.iconPath == nullptr)
            branding.iconPath = argv[++i];
        else if (options && strcmp(argv[i], "--version-string") == 0 && hasValue)
            branding.versionStrings.push_back(text[++i]);
        else if (options && strcmp(argv[i], "--profile") == 0 && hasValue && branding.profilePath == nullptr)
            branding.profilePath = argv[++i];
        else if (options && IsBrandingOption(argv[i]))
            return UsageError(err, "--icon and --profile take one FILE and --version-string a NAME=VALUE each",
                              kPackHelp);
        else if (options && IsOption(argv[i]))
            return UnknownOption(err, argv[i], kPackHelp);
        else
            args.push_back(argv[i]);
    }
    if (args.size() < 2 || args.size() > 3)
        return UsageError(err, "pack takes PACKAGE and OUTPUT, after a STUB of one's own if wanted", kPackHelp);
    if (args.size() == 2)
        return PackWithEmbeddedStub(args[0], args[1], branding, out, err);
    return PackLauncher(args[0], args[1], args[2], branding, out, err);
}

int RunInspect(int argc, const char* const* argv, FILE* out, FILE* err)
{
    const char* signer = nullptr;
    std::vector<const char*> args;
    // A --signer left over is a second one, or one without its value.
    const char* option = Positionals(argc, argv, &args, "--signer", &signer);
    if (option != nullptr && strcmp(option, "--signer") == 0)
        return UsageError(err, "inspect takes one --signer CERT", kInspectHelp);
    if (option != nullptr)
        return UnknownOption(err, option, kInspectHelp);
    if (args.size() != 1)
        return UsageError(err, "inspect takes one LAUNCHER", kInspectHelp);
    return InspectLauncher(args[0], signer, out, err);
}

int RunExtract(int argc, const char* const* argv, FILE* out, FILE* err)
{
    std::vector<const char*> args;
    if (const char* option = Positionals(argc, argv, &args))
        return UnknownOption(err, option, kExtractHelp);
    if (args.size() != 2)
        return UsageError(err, "extract takes LAUNCHER and OUTPUT", kExtractHelp);
    return ExtractPackage(args[0], args[1], out, err);
}

int RunEncode(int argc, const char* const* argv, FILE* out, FILE* err)
{
    const char* keyText = nullptr;
    std::vector<const char*> args;
    // A --key left over is a second one, or one without its value.
    const char* option = Positionals(argc, argv, &args, "--key", &keyText);
    if (option != nullptr && strcmp(option, "--key") != 0)
        return UnknownOption(err, option, kConfigHelp);
    uint8_t key[4];
    if (option != nullptr || keyText == nullptr || !ParseKey(keyText, key))
        return UsageError(err, "config encode needs one --key with exactly eight hex digits", kConfigHelp);
    if (args.size() != 2)
        return UsageError(err, "config encode takes INPUT and OUTPUT", kConfigHelp);
    return EncodeConfig(key, args[0], args[1], out, err);
}

int RunConfig(int argc, const char* const* argv, FILE* out, FILE* err)
{
    if (WantsHelp(argc, argv))
        return Help(out, kConfigHelp);
    if (argc >= 1 && strcmp(argv[0], "decode") == 0) {
        std::vector<const char*> args;
        if (const char* option = Positionals(argc - 1, argv + 1, &args))
            return UnknownOption(err, option, kConfigHelp);
        if (args.size() != 2)
            return UsageError(err, "config decode takes INPUT and OUTPUT", kConfigHelp);
        return DecodeConfig(args[0], args[1], out, err);
    }
    if (argc >= 1 && strcmp(argv[0], "encode") == 0)
        return RunEncode(argc - 1, argv + 1, out, err);
    return UsageError(err, "config takes decode or encode", kConfigHelp);
}

int Version(FILE* out)
{
    fprintf(out, "sfxpack %s\nembedded stub: %u bytes, SHA-256 %s\n", SFXPACK_VERSION, kEmbeddedStubSize,
            Sha256Hex(kEmbeddedStub, kEmbeddedStubSize).c_str());
    return kToolOk;
}

}  // namespace

int RunSfxpack(int argc, const char* const* argv, FILE* out, FILE* err, const char* const* text)
{
    if (text == nullptr)
        text = argv;
    if (argc < 2)
        return UsageError(err, "no command given", kToolHelp);
    const char* command = argv[1];
    int rest = argc - 2;
    const char* const* restArgs = argv + 2;
    if (strcmp(command, "--help") == 0 || strcmp(command, "-h") == 0)
        return Help(out, kToolHelp);
    if (strcmp(command, "--version") == 0)
        return rest == 0 ? Version(out) : UsageError(err, "--version takes no arguments", kToolHelp);
    if (strcmp(command, "pack") == 0)
        return WantsHelp(rest, restArgs) ? Help(out, kPackHelp) : RunPack(rest, restArgs, text + 2, out, err);
    if (strcmp(command, "inspect") == 0)
        return WantsHelp(rest, restArgs) ? Help(out, kInspectHelp) : RunInspect(rest, restArgs, out, err);
    if (strcmp(command, "extract") == 0)
        return WantsHelp(rest, restArgs) ? Help(out, kExtractHelp) : RunExtract(rest, restArgs, out, err);
    if (strcmp(command, "config") == 0)
        return RunConfig(rest, restArgs, out, err);
    if (strcmp(command, "profile") == 0 && WantsHelp(rest, restArgs))
        return Help(out, kProfileHelp);
    if (strcmp(command, "profile") == 0)
        return rest == 0 ? Help(out, DefaultProfile().c_str()) : UsageError(err, "profile takes no arguments",
                                                                             kProfileHelp);
    std::string problem = std::string("unknown command ") + command;
    return UsageError(err, problem.c_str(), kToolHelp);
}
