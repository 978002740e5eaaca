// The installation check: the files a copy must have, and the two settings
// read from its configuration through the system's XML document object.
#include "discovery/install_check.h"

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <msxml2.h>
#include <shlwapi.h>

#include "discovery/config_text.h"
#include "launcher/ansi_path.h"
#include "launcher/profile_resource.h"

namespace {

// IXMLDOMDocument, written out so that the stub needs no GUID library.
const IID kXmlDocumentInterface = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// 1 when directory\name fits in a path and exists, as a file or a directory;
// path receives the join. A join that would not fit fails rather than being
// cut, so it can never name a file of another directory. The separator is
// always counted, even when the directory already ends with one. A name the
// code page cannot spell exactly names no file here.
int ExistsInDirectory(char* path, const char* directory, ProfileField field)
{
    char name[kPathSize];
    if (!SpellExactly(ProfileValue(field), CP_ACP, name)
        || lstrlenA(directory) + 1 + lstrlenA(name) >= static_cast<int>(kPathSize))
        return 0;
    lstrcpyA(path, directory);
    if (!PathAppendA(path, name))
        return 0;
    return PathFileExistsA(path) ? 1 : 0;
}

// Selects the node for query and puts its first child's value into value
// (which must be empty); 1 when that value is a string. The query path passes
// through value too and is freed as soon as the query returns. node and child
// are the caller's to release on every path.
int SelectFirstChildValue(IXMLDOMDocument* document, const wchar_t* query, VARIANT* value, IXMLDOMNode** node,
                          IXMLDOMNode** child)
{
    V_VT(value) = VT_BSTR;
    V_BSTR(value) = SysAllocString(query);
    HRESULT selected = document->selectSingleNode(V_BSTR(value), node);
    VariantClear(value);
    if (selected != S_OK || *node == nullptr)
        return 0;
    if ((*node)->get_firstChild(child) != S_OK || *child == nullptr)
        return 0;
    // An element's value is null; text, CDATA, comments and processing
    // instructions give a string.
    if (FAILED((*child)->get_nodeValue(value)))
        return 0;
    return V_VT(value) == VT_BSTR && V_BSTR(value) != nullptr ? 1 : 0;
}

// The text in the ANSI code page on the process heap, or nullptr where the
// code page cannot spell it exactly: by best fit a full-width "１０" reads
// as "10", a version the file does not hold. The buffers are the size the
// conversion asks for: under a double-byte code page one character can take
// two bytes, more than the text's length + 1.
char* ToAnsiText(BSTR text)
{
    HANDLE heap = GetProcessHeap();
    int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return nullptr;
    char* ansi = static_cast<char*>(HeapAlloc(heap, 0, size));
    wchar_t* back = static_cast<wchar_t*>(HeapAlloc(heap, 0, size * sizeof(wchar_t)));
    int exact = ansi != nullptr && back != nullptr && ConvertExactly(text, CP_ACP, ansi, back, size);
    if (back != nullptr)
        HeapFree(heap, 0, back);
    if (!exact && ansi != nullptr) {
        HeapFree(heap, 0, ansi);
        ansi = nullptr;
    }
    return ansi;
}

}  // namespace

int ReadInstallConfig(const char* configPath, int* isNetwork, int32_t* major, int32_t* minor, int32_t* build)
{
    int result = 0;
    CLSID documentClass;
    IXMLDOMDocument* document = nullptr;
    IXMLDOMNode* modeNode = nullptr;
    IXMLDOMNode* modeChild = nullptr;
    IXMLDOMNode* versionNode = nullptr;
    IXMLDOMNode* versionChild = nullptr;
    char* versionText = nullptr;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    HRESULT parsed;
    // Holds in turn the configuration text, each query path and each node value.
    VARIANT text;
    VariantInit(&text);

    if (FAILED(CLSIDFromProgID(L"Msxml2.DOMDocument", &documentClass)))
        goto cleanup;
    if (FAILED(CoCreateInstance(documentClass, nullptr, CLSCTX_INPROC_SERVER, kXmlDocumentInterface,
                                reinterpret_cast<void**>(&document))))
        goto cleanup;

    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = LoadConfigText(configPath);
    if (V_BSTR(&text) == nullptr)
        goto cleanup;
    parsed = document->loadXML(V_BSTR(&text), &loaded);
    VariantClear(&text);
    // Text that is not well-formed gives S_FALSE and false, not a failure code.
    if (FAILED(parsed) || loaded == VARIANT_FALSE)
        goto cleanup;

    // A missing or odd MODE only means the copy works alone.
    // Without a server mode no mode is read.
    *isNetwork = 0;
    if (*ProfileValue(kProfileServerMode) != L'\0'
        && SelectFirstChildValue(document, ProfileValue(kProfileMode), &text, &modeNode, &modeChild)
        && StrCmpIW(V_BSTR(&text), ProfileValue(kProfileServerMode)) == 0)
        *isNetwork = 1;
    VariantClear(&text);

    if (!SelectFirstChildValue(document, ProfileValue(kProfileVersion), &text, &versionNode, &versionChild))
        goto cleanup;
    versionText = ToAnsiText(V_BSTR(&text));
    if (versionText == nullptr)
        goto cleanup;
    result = ParseVersion(versionText, major, minor, build);

cleanup:
    VariantClear(&text);
    if (versionText != nullptr)
        HeapFree(GetProcessHeap(), 0, versionText);
    if (modeNode != nullptr)
        modeNode->Release();
    if (versionNode != nullptr)
        versionNode->Release();
    if (modeChild != nullptr)
        modeChild->Release();
    if (versionChild != nullptr)
        versionChild->Release();
    if (document != nullptr)
        document->Release();
    return result;
}

int CheckInstallDir(const char* directory, InstallationRecord* record)
{
    char path[kPathSize];
    int isNetwork = 0;
    if (!ExistsInDirectory(path, directory, kProfileConfig))
        return 0;
    if (!ReadInstallConfig(path, &isNetwork, &record->version.major, &record->version.minor,
                           &record->version.build))
        return 0;
    if (!ExistsInDirectory(path, directory, kProfileUpdater))
        return 0;
    if (isNetwork && !ExistsInDirectory(path, directory, kProfileServer))
        return 0;
    // The joins above fitted, so the directory itself fits the record.
    lstrcpyA(record->path, directory);
    return 1;
}
