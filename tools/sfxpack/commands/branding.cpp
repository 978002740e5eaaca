// Branding: the icon file and the version strings turned into resources, and
// the stub's resource section rebuilt around them.
#include "commands/branding.h"

#include <algorithm>

#include "commands/profile.h"
#include "image/icon_file.h"
#include "image/resources.h"
#include "image/version_record.h"
#include "platform/file_io.h"
#include "resources/resource.h"
#include "status/status.h"

namespace {

// Icon files with every size up to 256 pixels are a few hundred kilobytes.
const uint64_t kMaxIconFileSize = 16u << 20;
// A stub's resource section is kilobytes; a launcher's claim of more is not read.
const uint32_t kMaxResourceSection = 16u << 20;
// A profile is a few kilobytes of text.
const uint64_t kMaxProfileFileSize = 1u << 20;
const uint32_t kResourceRawData = 10;

bool IsProfile(const Resource& resource)
{
    return !resource.type.named && resource.type.id == kResourceRawData && !resource.name.named
           && resource.name.id == IDR_PROFILE;
}

bool Replaced(const Branding& branding, const Resource& resource)
{
    uint32_t type = resource.type.named ? 0 : resource.type.id;
    if (branding.iconPath != nullptr && (type == kResourceIcon || type == kResourceGroupIcon))
        return true;
    if (branding.profilePath != nullptr && IsProfile(resource))
        return true;
    return !branding.versionStrings.empty() && type == kResourceVersion;
}

// Only the values that differ from the defaults go in; none, no resource.
int ProfileResource(const char* path, std::vector<Resource>* resources, FILE* err)
{
    std::vector<uint8_t> text;
    std::vector<uint8_t> profile;
    std::string error;
    if (!ReadWholeFile(path, kMaxProfileFileSize, &text, &error))
        return Refuse(err, "cannot read --profile %s: %s", path, error.c_str());
    if (!BuildProfile(std::string(text.begin(), text.end()), &profile, &error))
        return Refuse(err, "--profile %s %s", path, error.c_str());
    if (!profile.empty())
        resources->push_back({ResourceId(kResourceRawData), ResourceId(IDR_PROFILE), ResourceId(0), 0, profile});
    return kToolOk;
}

// The resources the publisher gives, refused with the argument at fault.
int PublisherResources(const Branding& branding, const VersionTriple& target, std::vector<Resource>* resources,
                       FILE* err)
{
    std::string error;
    if (!branding.versionStrings.empty()) {
        std::vector<uint8_t> record;
        if (!BuildVersionRecord(branding.versionStrings, target, &record, &error))
            return Refuse(err, "%s", error.c_str());
        resources->push_back({ResourceId(kResourceVersion), ResourceId(1), ResourceId(kVersionLanguage), 0, record});
    }
    if (branding.iconPath != nullptr) {
        std::vector<uint8_t> icon;
        if (!ReadWholeFile(branding.iconPath, kMaxIconFileSize, &icon, &error))
            return Refuse(err, "cannot read --icon %s: %s", branding.iconPath, error.c_str());
        if (!IconResources(icon, resources, &error))
            return Refuse(err, "--icon %s is not an icon file: %s", branding.iconPath, error.c_str());
    }
    return branding.profilePath != nullptr ? ProfileResource(branding.profilePath, resources, err) : kToolOk;
}

bool SectionInside(const ResourceSection& section, uint64_t fileSize)
{
    return section.fileOffset <= fileSize && section.rawSize <= fileSize - section.fileOffset;
}

bool StubResources(const std::vector<uint8_t>& stub, std::vector<Resource>* resources, std::string* error)
{
    ResourceSection section;
    if (!FindResourceSection(stub.data(), stub.size(), &section, error))
        return false;
    if (section.found && !SectionInside(section, stub.size())) {
        *error = "its resource section lies outside the file";
        return false;
    }
    return !section.found
           || ReadResources(stub.data() + section.fileOffset, section.rawSize, section.rva, resources, error);
}

}  // namespace

bool IsBranded(const Branding& branding)
{
    return branding.iconPath != nullptr || !branding.versionStrings.empty() || branding.profilePath != nullptr;
}

int BrandStub(const std::string& stubName, std::vector<uint8_t>* stub, const Branding& branding,
              const VersionTriple& target, FILE* err)
{
    std::vector<Resource> added;
    int status = PublisherResources(branding, target, &added, err);
    if (status != kToolOk || added.empty())
        return status;
    std::vector<Resource> resources;
    std::string error;
    if (!StubResources(*stub, &resources, &error))
        return Refuse(err, "%s cannot take an icon or version record: %s", stubName.c_str(), error.c_str());
    resources.erase(std::remove_if(resources.begin(), resources.end(),
                                   [&](const Resource& resource) { return Replaced(branding, resource); }),
                    resources.end());
    resources.insert(resources.end(), added.begin(), added.end());
    if (!ReplaceResources(stub, resources, &error))
        return Refuse(err, "%s cannot take an icon or version record: %s", stubName.c_str(), error.c_str());
    return kToolOk;
}

std::string PrintBranding(FILE* out, FILE* file, uint32_t fileSize, const std::vector<uint8_t>& headers)
{
    ResourceSection section;
    std::string error;
    std::string problem;
    if (!FindResourceSection(headers.data(), headers.size(), &section, &error) || !section.found)
        return problem;
    std::vector<uint8_t> bytes;
    std::vector<Resource> resources;
    if (section.rawSize > kMaxResourceSection || !SectionInside(section, fileSize)) {
        error = "its resource section lies outside the file";
    } else {
        bytes.resize(section.rawSize);
        if (!SeekTo(file, section.fileOffset) || !ReadExactly(file, bytes.data(), bytes.size()))
            error = "its resource section cannot be read";
        else
            ReadResources(bytes.data(), bytes.size(), section.rva, &resources, &error);
    }
    if (!error.empty()) {
        fprintf(out, "resources: unknown, %s\n", error.c_str());
        return problem;
    }
    uint32_t icons = 0;
    for (const Resource& resource : resources) {
        std::string numbers;
        std::vector<std::string> strings;
        if (!resource.type.named && resource.type.id == kResourceVersion
            && ReadVersionRecord(resource.data.data(), resource.data.size(), &numbers, &strings)) {
            fprintf(out, "version numbers: %s\n", numbers.c_str());
            for (const std::string& text : strings)
                fprintf(out, "version string: %s\n", text.c_str());
        }
        icons += !resource.type.named && resource.type.id == kResourceIcon;
        if (IsProfile(resource) && !PrintProfile(out, resource.data))
            problem = "has a damaged profile: the launcher reports itself damaged and runs no update";
    }
    if (icons > 0)
        fprintf(out, "icon images: %u\n", icons);
    if (!problem.empty())
        fputs("profile: damaged\n", out);
    return problem;
}
