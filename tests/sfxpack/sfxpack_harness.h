// Runs sfxpack in-process with its output captured, and gives each test a
// fresh folder and the files it needs.
#pragma once

#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli.h"
#include "package/checksum.h"
#include "package_builder.h"

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

inline std::string Drain(FILE* file)
{
    std::string text;
    rewind(file);
    for (int c = fgetc(file); c != EOF; c = fgetc(file))
        text += static_cast<char>(c);
    fclose(file);
    return text;
}

inline ToolRun Sfxpack(const std::vector<std::string>& args)
{
    std::vector<const char*> argv = {"sfxpack"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    FILE* out = tmpfile();
    FILE* err = tmpfile();
    ToolRun run;
    run.status = RunSfxpack(static_cast<int>(argv.size()), argv.data(), out, err);
    run.out = Drain(out);
    run.err = Drain(err);
    return run;
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

inline bool Exists(const std::string& path)
{
    return std::filesystem::exists(path);
}

// A fresh folder named after the running test, under the build folder.
inline std::string TestFolder()
{
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string folder = std::string(SFXPACK_WORK_DIR) + "/" + test->test_suite_name() + "." + test->name();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder + "/";
}

inline std::string TinyStub()
{
    return ReadFile(SFXPACK_TINY_STUB);
}

// A package as publishers ship it: the example header, then body records.
inline std::string ExamplePackage()
{
    return PackageBuilder().Header("10.01.188", "10.01.190", 2).Tail().Bytes();
}

// Runs a shell command with its output in a log file; true on exit status 0.
inline bool Shell(const std::string& command, const std::string& log)
{
    return system((command + " >'" + log + "' 2>&1").c_str()) == 0;
}

// A record as the launcher's rules read it: the tag, then the value.
inline std::string Record(const char* tag, uint32_t value)
{
    std::string record = tag;
    for (int i = 0; i < 4; ++i)
        record += static_cast<char>((value >> (8 * i)) & 0xFF);
    return record;
}

inline uint32_t ChecksumOf(const std::string& bytes)
{
    Crc32c crc;
    Crc32cInit(&crc);
    return Crc32cUpdate(&crc, 0, reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
}

// Where a PE image keeps its CheckSum field, and the checksum of the whole
// file worked out word by word as signing tools do, the field counted as
// zero: a second opinion on the tool's own.
inline size_t ImageChecksumField(const std::string& image)
{
    return static_cast<uint8_t>(image[0x3C]) + (static_cast<uint8_t>(image[0x3D]) << 8) + 88;
}

inline uint32_t ImageChecksumOf(std::string bytes)
{
    bytes.replace(ImageChecksumField(bytes), 4, 4, '\0');
    uint64_t sum = 0;
    for (size_t i = 0; i < bytes.size(); i += 2)
        sum += static_cast<uint8_t>(bytes[i]) + (i + 1 < bytes.size() ? static_cast<uint8_t>(bytes[i + 1]) << 8 : 0);
    while (sum > 0xFFFF)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + bytes.size());
}

// A checksum as the tool prints it.
inline std::string Hex8(uint32_t value)
{
    char text[9];
    snprintf(text, sizeof(text), "%08X", value);
    return text;
}

// The digest coreutils' sha256sum, or sha1sum, gives for a file: a second opinion on the tool's own.
inline std::string Sha256sumOf(const std::string& path, const std::string& tool = "sha256sum")
{
    std::string digest;
    FILE* pipe = popen((tool + " '" + path + "'").c_str(), "r");
    if (pipe == nullptr)
        return digest;
    for (int c = fgetc(pipe); c != EOF && c != ' '; c = fgetc(pipe))
        digest += static_cast<char>(c);
    pclose(pipe);
    return digest;
}

// Signs dir/input into dir/output as a publisher does, through the same
// helper the end-to-end signed launchers are made with; options go to
// osslsigncode (-nest adds a second signature inside the first).
inline bool SignLauncher(const std::string& dir, const std::string& input, const std::string& output,
                         const std::string& options = "",
                         const std::string& certificates = SFXPACK_WORK_DIR "/certificate")
{
    return Shell("sh '" + std::string(SFXPACK_SOURCE_DIR) + "/tests/sfxpack/sign_launcher.sh' '" + certificates + "' '"
                     + dir + input + "' '" + dir + output + "' " + options,
                 dir + "sign.log");
}

// Packs the tiny stub with package into dir/name; the package's file is dir/name.upd.
inline void PackInto(const std::string& dir, const std::string& name, const std::string& package)
{
    WriteFile(dir + "stub.exe", TinyStub());
    WriteFile(dir + name + ".upd", package);
    ToolRun run = Sfxpack({"pack", dir + "stub.exe", dir + name + ".upd", dir + name});
    EXPECT_EQ(run.status, 0) << run.err;
}
