// The stub's file as publishers receive it: image properties, imports,
// resources, and the payload starting exactly at its end.
#include <gtest/gtest.h>

#include <windows.h>
#include <imagehlp.h>

#include <set>

#include "harness.h"
#include "package/image_layout.h"

namespace {

struct Image {
    std::string bytes;
    const IMAGE_NT_HEADERS32* nt;
};

// The 32-bit stub publishers receive, whichever build runs the cases: a
// 64-bit one is told where the 32-bit build keeps it.
class StubImage : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Exists(kShippedStubPath))
            << "no stub at \"" << kShippedStubPath
            << "\": configure a 64-bit build with -DSFX_SHIPPED_STUB=<32-bit build>/update_sfx/update_sfx.exe";
    }
};

Image LoadStub()
{
    Image image;
    image.bytes = ReadBytes(kShippedStubPath);
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.bytes.data());
    image.nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.bytes.data() + dos->e_lfanew);
    return image;
}

TEST_F(StubImage, IsARelocatable32BitGuiImageForWindows50)
{
    Image image = LoadStub();
    ASSERT_EQ(image.nt->Signature, IMAGE_NT_SIGNATURE);
    EXPECT_EQ(image.nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(image.nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_EQ(image.nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_EQ(image.nt->OptionalHeader.MajorSubsystemVersion, 5);
    EXPECT_EQ(image.nt->OptionalHeader.MinorSubsystemVersion, 0);
    WORD characteristics = image.nt->OptionalHeader.DllCharacteristics;
    EXPECT_TRUE(characteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
    EXPECT_TRUE(characteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
    EXPECT_TRUE(characteristics & IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE);
    EXPECT_TRUE(characteristics & IMAGE_DLLCHARACTERISTICS_NO_SEH);
    EXPECT_FALSE(image.nt->FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED);
    // Run from the page file when started from a share or a stick, with a checksum that matches the marks.
    EXPECT_TRUE(image.nt->FileHeader.Characteristics & IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP);
    EXPECT_TRUE(image.nt->FileHeader.Characteristics & IMAGE_FILE_NET_RUN_FROM_SWAP);
    DWORD stored = 0, computed = 0;
    ASSERT_NE(CheckSumMappedFile(&image.bytes[0], static_cast<DWORD>(image.bytes.size()), &stored, &computed),
              nullptr);
    EXPECT_EQ(stored, computed);
    const IMAGE_DATA_DIRECTORY& relocations =
        image.nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC];
    EXPECT_NE(relocations.Size, 0u);
}

TEST_F(StubImage, CarriesNoSymbolsNoCertificateAndEndsWhereThePayloadBegins)
{
    Image image = LoadStub();
    // What a publisher adds to every download: 5 KiB under the smallest stub of its kind.
    const size_t kStubBudget = 22528;
    EXPECT_LT(image.bytes.size(), kStubBudget);
    EXPECT_EQ(image.nt->FileHeader.PointerToSymbolTable, 0u);
    EXPECT_EQ(image.nt->FileHeader.NumberOfSymbols, 0u);
    EXPECT_EQ(image.nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY].Size, 0u);
    uint32_t offset = 0;
    ASSERT_EQ(PayloadOffset(reinterpret_cast<const uint8_t*>(image.bytes.data()),
                            static_cast<uint32_t>(image.bytes.size()), &offset),
              1);
    EXPECT_EQ(offset, image.bytes.size());
}

// Where a virtual address of the image lies in its file.
size_t FileOffset(const Image& image, DWORD rva)
{
    auto* section = IMAGE_FIRST_SECTION(image.nt);
    for (WORD i = 0; i < image.nt->FileHeader.NumberOfSections; ++i, ++section) {
        if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->SizeOfRawData)
            return rva - section->VirtualAddress + section->PointerToRawData;
    }
    return image.bytes.size();
}

TEST_F(StubImage, ImportsSystemLibrariesOnly)
{
    Image image = LoadStub();
    const IMAGE_DATA_DIRECTORY& imports = image.nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::set<std::string> names, functions;
    for (size_t at = FileOffset(image, imports.VirtualAddress);
         at + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= image.bytes.size(); at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.bytes.data() + at);
        if (descriptor->Name == 0)
            break;
        std::string name = image.bytes.c_str() + FileOffset(image, descriptor->Name);
        CharLowerBuffA(&name[0], static_cast<DWORD>(name.size()));
        names.insert(name);
        // The functions imported by name: a 32-bit lookup table, ended by 0.
        DWORD table = descriptor->OriginalFirstThunk ? descriptor->OriginalFirstThunk : descriptor->FirstThunk;
        for (size_t entry = FileOffset(image, table); entry + sizeof(DWORD) <= image.bytes.size();
             entry += sizeof(DWORD)) {
            DWORD thunk = *reinterpret_cast<const DWORD*>(image.bytes.data() + entry);
            if (thunk == 0)
                break;
            size_t hint = FileOffset(image, thunk);
            if (!(thunk & IMAGE_ORDINAL_FLAG32) && hint + sizeof(WORD) < image.bytes.size())
                functions.insert(image.bytes.c_str() + hint + sizeof(WORD));
        }
    }
    std::set<std::string> allowed = {"kernel32.dll", "user32.dll", "advapi32.dll", "shlwapi.dll",
                                     "ole32.dll",    "oleaut32.dll", "comctl32.dll"};
    for (const std::string& name : names)
        EXPECT_TRUE(allowed.count(name)) << name;
    EXPECT_TRUE(names.count("kernel32.dll"));
    // The payload is read with ReadFile: no views, and no handler for faults inside them.
    EXPECT_TRUE(functions.count("ReadFile"));
    for (const char* gone : {"CreateFileMappingA", "MapViewOfFile", "AddVectoredExceptionHandler"})
        EXPECT_FALSE(functions.count(gone)) << gone;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR type, LPCSTR name, WORD language, LONG_PTR param)
{
    auto* found = reinterpret_cast<std::set<std::string>*>(param);
    char entry[64];
    wsprintfA(entry, "%u/%u/%04X", static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(type)),
              static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(name)), language);
    found->insert(entry);
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR param)
{
    EnumResourceLanguagesA(module, type, name, CollectLanguage, param);
    return TRUE;
}

BOOL CALLBACK CollectType(HMODULE module, LPSTR type, LONG_PTR param)
{
    EnumResourceNamesA(module, type, CollectName, param);
    return TRUE;
}

std::string ResourceText(HMODULE module, LPCSTR type, LPCSTR name)
{
    HRSRC found = FindResourceA(module, name, type);
    if (found == nullptr)
        return "";
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return std::string(data, SizeofResource(module, found));
}

TEST_F(StubImage, HoldsOnlyTheManifestAndTheRussianLanguageChooserTemplate)
{
    HMODULE module = LoadLibraryExA(kShippedStubPath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    std::set<std::string> found;
    EnumResourceTypesA(module, CollectType, reinterpret_cast<LONG_PTR>(&found));
    EXPECT_EQ(found, (std::set<std::string>{"24/1/0000", "5/101/0419"}));

    std::string manifest = ResourceText(module, MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));
    for (const char* piece :
         {"type=\"win32\"", "version=\"1.0.0.0\"", "processorArchitecture=\"X86\"",
          "<description>deployment tool</description>", "name=\"Microsoft.Windows.Common-Controls\"",
          "version=\"6.0.0.0\"", "publicKeyToken=\"6595b64144ccf1df\"", "language=\"*\"",
          "level=\"highestAvailable\"", "uiAccess=\"false\""})
        EXPECT_NE(manifest.find(piece), std::string::npos) << piece;
    // Windows 7, 8, 8.1, and 10 and 11 run it as a program of their own day, and no
    // Windows stretches its windows as a bitmap at 125 to 200%: they are laid out at the DPI.
    for (const char* system : {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                               "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"") + system + "\"/>"), std::string::npos) << system;
    for (const char* dpi :
         {"<compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">",
          "<application xmlns=\"urn:schemas-microsoft-com:asm.v3\">",
          "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>",
          "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2, System"
          "</dpiAwareness>"})
        EXPECT_NE(manifest.find(dpi), std::string::npos) << dpi;
    FreeLibrary(module);
}

}  // namespace
