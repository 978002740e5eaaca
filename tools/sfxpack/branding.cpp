// Branding: the icon file and the version strings turned into resources, and
// the stub's resource section rebuilt around them.
#include "branding.h"

#include <algorithm>

#include "file_io.h"
#include "icon_file.h"
#include "resources.h"
#include "status.h"
#include "version_record.h"

namespace {

// Icon files with every size up to 256 pixels are a few hundred kilobytes.
const uint64_t kMaxIconFileSize = 16u << 20;
// A stub's resource section is kilobytes; a launcher's claim of more is not read.
const uint32_t kMaxResourceSection = 16u << 20;

bool Replaced(const Branding& branding, const Resource& resource)
{
    uint32_t type = resource.type.named ? 0 : resource.type.id;
    if (branding.iconPath != nullptr && (type == kResourceIcon || type == kResourceGroupIcon))
        return true;
    return !branding.versionStrings.empty() && type == kResourceVersion;
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
    return kToolOk;
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
    return branding.iconPath != nullptr || !branding.versionStrings.empty();
}

int BrandStub(const std::string& stubName, std::vector<uint8_t>* stub, const Branding& branding,
              const VersionTriple& target, FILE* err)
{
    std::vector<Resource> added;
    int status = PublisherResources(branding, target, &added, err);
    if (status != kToolOk)
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

void PrintBranding(FILE* out, FILE* file, uint32_t fileSize, const std::vector<uint8_t>& headers)
{
    ResourceSection section;
    std::string error;
    if (!FindResourceSection(headers.data(), headers.size(), &section, &error) || !section.found)
        return;
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
        return;
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
    }
    if (icons > 0)
        fprintf(out, "icon images: %u\n", icons);
}
