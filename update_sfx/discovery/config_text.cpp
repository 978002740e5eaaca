// Configuration file reading around the unscrambling rules.
#include "discovery/config_text.h"

#include "discovery/scramble.h"

namespace {

// A configuration file is a few kilobytes; anything this large is not one,
// and refusing it keeps the sizes below inside the int range the conversion takes.
const DWORD kMaxConfigSize = 64 * 1024 * 1024;

// Converts UTF-8 to a system string; the string ends at the first NUL, as a
// system string made from a terminated buffer does.
BSTR Utf8ToSystemString(const uint8_t* text, int size)
{
    const char* narrow = reinterpret_cast<const char*>(text);
    int length = MultiByteToWideChar(CP_UTF8, 0, narrow, size, nullptr, 0);
    if (length <= 0)
        return nullptr;
    HANDLE heap = GetProcessHeap();
    wchar_t* wide = static_cast<wchar_t*>(HeapAlloc(heap, 0, (length + 1) * sizeof(wchar_t)));
    if (wide == nullptr)
        return nullptr;
    int written = MultiByteToWideChar(CP_UTF8, 0, narrow, size, wide, length);
    wide[written > 0 ? written : 0] = L'\0';
    BSTR result = SysAllocString(wide);
    HeapFree(heap, 0, wide);
    return result;
}

}  // namespace

BSTR LoadConfigText(const char* path)
{
    BSTR result = nullptr;
    HANDLE heap = GetProcessHeap();
    uint8_t* bytes = nullptr;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;

    DWORD size = GetFileSize(file, nullptr);
    DWORD got = 0;
    if (size == INVALID_FILE_SIZE || size > kMaxConfigSize)
        goto cleanup;
    // One byte more than the file so that an empty file still gets a buffer.
    bytes = static_cast<uint8_t*>(HeapAlloc(heap, 0, size + 1));
    if (bytes == nullptr)
        goto cleanup;
    if (!ReadFile(file, bytes, size, &got, nullptr) || got != size)
        goto cleanup;
    {
        uint32_t start = ConfigTextStart(bytes, size);
        if (start < size)
            result = Utf8ToSystemString(bytes + start, static_cast<int>(size - start));
    }

cleanup:
    if (bytes != nullptr)
        HeapFree(heap, 0, bytes);
    CloseHandle(file);
    return result;
}
