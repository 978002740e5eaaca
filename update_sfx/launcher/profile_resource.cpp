// The profile resource found in the launcher's own image and handed to the
// reader; its values point into the image, which lives as long as the process.
#include "launcher/profile_resource.h"

#include "resources/resource.h"

namespace {

// Raw data, the type the publisher's tool writes the profile as.
const WORD kRawDataType = 10;

const char16_t* values[kProfileFieldCount];

}  // namespace

int LoadProfile()
{
    const void* bytes = nullptr;
    DWORD size = 0;
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_PROFILE), MAKEINTRESOURCEW(kRawDataType));
    if (found != nullptr) {
        size = SizeofResource(nullptr, found);
        bytes = LockResource(LoadResource(nullptr, found));
        if (bytes == nullptr)
            return 0;
    }
    return ReadProfile(static_cast<const uint8_t*>(bytes), size, values);
}

const wchar_t* ProfileValue(ProfileField field)
{
    // Parts used on their own, as the tests do, find the defaults.
    if (values[0] == nullptr)
        ReadProfile(nullptr, 0, values);
    return reinterpret_cast<const wchar_t*>(values[field]);
}

void ShowProfileTexts(HWND dialog, ProfileField caption, int item, ProfileField text)
{
    SendMessageW(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ProfileValue(caption)));
    SendMessageW(GetDlgItem(dialog, item), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ProfileValue(text)));
    SendMessageW(GetDlgItem(dialog, IDCANCEL), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ProfileValue(kProfileCancel)));
}
