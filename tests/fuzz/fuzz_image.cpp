// Fuzzes the image layout rules over arbitrary header bytes and file sizes,
// and sfxpack's reading of the same bytes as a resource section at the RVA
// the file size gives, as version records and as an icon file; and the
// launcher's reading of them, and of each resource, as its profile.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "image/icon_file.h"
#include "image/resources.h"
#include "image/version_record.h"
#include "launcher/profile.h"
#include "package/image_layout.h"

namespace {

// Every value the reader hands on is terminated inside its bytes, or a
// default: a read past them shows in AddressSanitizer.
void ReadAsProfile(const std::vector<uint8_t>& bytes)
{
    const char16_t* values[kProfileFieldCount];
    int read = ReadProfile(bytes.data(), static_cast<uint32_t>(bytes.size()), values);
    for (uint32_t field = 0; field < kProfileFieldCount; ++field) {
        uint32_t length = 0;
        while (values[field][length] != u'\0')
            ++length;
        if (length > ProfileLimit(field) || (!read && values[field] >= reinterpret_cast<const char16_t*>(bytes.data())
                                                      && values[field] < reinterpret_cast<const char16_t*>(
                                                             bytes.data() + bytes.size())))
            abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The last four bytes, when there are more than 0x40, pick a file size, so
    // certificate offsets before, inside and past the file are all reached.
    uint32_t headerSize = static_cast<uint32_t>(size);
    uint32_t fileSize = headerSize;
    if (size > 0x44) {
        headerSize -= 4;
        fileSize = data[headerSize] | data[headerSize + 1] << 8 | data[headerSize + 2] << 16
                   | static_cast<uint32_t>(data[headerSize + 3]) << 24;
    }
    // An exact-size copy, so AddressSanitizer sees any read past the headers.
    std::vector<uint8_t> headers(data, data + headerSize);

    uint32_t offset = 0, certificate = 0, certificateSize = 0, length = 0;
    int hasOffset = PayloadOffset(headers.data(), headerSize, &offset);
    CertificateTable(headers.data(), headerSize, &certificate, &certificateSize);
    if (hasOffset && PayloadLength(headers.data(), headerSize, offset, fileSize, &length)) {
        if (offset > fileSize || length > fileSize - offset)
            abort();
    }

    // The plan stays inside the file.
    PayloadPlan plan;
    if (PlanPayload(headers.data(), headerSize, fileSize, &plan)
        && (plan.offset > fileSize || plan.length > fileSize - plan.offset))
        abort();

    // Recording a length reads back the same and, past a DOS header the PE
    // header does not overlap, leaves the payload offset alone.
    if (headerSize >= kPackageLengthRecord + kPackageLengthRecordSize) {
        uint32_t recorded = 0, before = 0, after = 0;
        RecordPackageLength(headers.data(), fileSize);
        if (!RecordedPackageLength(headers.data(), headerSize, &recorded) || recorded != fileSize)
            abort();
        const uint32_t kDosHeaderSize = 0x40;
        if (headerSize >= kDosHeaderSize && (data[0x3C] >= kDosHeaderSize || data[0x3D] || data[0x3E] || data[0x3F])) {
            int hadOffset = PayloadOffset(data, headerSize, &before);
            if (hadOffset != PayloadOffset(headers.data(), headerSize, &after) || (hadOffset && before != after))
                abort();
        }
    }

    std::vector<uint8_t> bytes(data, data + headerSize);
    std::vector<Resource> resources;
    std::string error, numbers;
    std::vector<std::string> strings;
    ResourceSection section;
    FindResourceSection(bytes.data(), bytes.size(), &section, &error);
    ReadResources(bytes.data(), bytes.size(), fileSize, &resources, &error);
    ReadVersionRecord(bytes.data(), bytes.size(), &numbers, &strings);
    ReadAsProfile(bytes);
    for (const Resource& resource : resources) {
        ReadVersionRecord(resource.data.data(), resource.data.size(), &numbers, &strings);
        ReadAsProfile(resource.data);
    }
    IconResources(bytes, &resources, &error);
    return 0;
}
