// Installed copies of the application for tests: their folders on disk and
// their entries under HKLM\SOFTWARE\Korvella.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "discovery/scan.h"
#include "test_files.h"

// A configuration file's text: the root items around the given children.
inline std::string ConfigXml(const std::string& children)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<items>\r\n" + children + "</items>\r\n";
}

inline std::string ConfigXml(const std::string& mode, const std::string& version)
{
    return ConfigXml("  <MODE>" + mode + "</MODE>\r\n  <VERSION>" + version + "</VERSION>\r\n");
}

// Text in the ANSI code page, as paths reach the launcher, from UTF-8 source text.
inline std::string Ansi(const std::string& utf8)
{
    std::wstring wide(utf8.size() + 1, L'\0');
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    std::string ansi(wide.size() * 2, '\0');
    length = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), length, &ansi[0], static_cast<int>(ansi.size()), nullptr,
                                 nullptr);
    ansi.resize(length > 0 ? length - 1 : 0);
    return ansi;
}

// An installation folder built file by file, so each case shows only what
// differs from a complete copy.
class InstallFolder {
public:
    explicit InstallFolder(const std::string& path) : path_(path)
    {
        MakeDir(path_);
        MakeDir(path_ + "\\config");
    }
    InstallFolder& Config(const std::string& bytes)
    {
        WriteBytes(path_ + "\\config\\global.xml", bytes);
        return *this;
    }
    InstallFolder& Updater()
    {
        WriteBytes(path_ + "\\update.exe", "MZ");
        return *this;
    }
    // Any file at a path relative to the folder, whose folders exist.
    InstallFolder& File(const std::string& relative, const std::string& bytes)
    {
        size_t folder = relative.rfind('\\');
        if (folder != std::string::npos)
            MakeDir(path_ + "\\" + relative.substr(0, folder));
        WriteBytes(path_ + "\\" + relative, bytes);
        return *this;
    }
    InstallFolder& Server()
    {
        WriteBytes(path_ + "\\KLV.AppServer.exe", "MZ");
        return *this;
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// A complete local copy of the given version.
inline std::string CompleteCopy(const std::string& path, const std::string& version = "10.01.188")
{
    return InstallFolder(path).Config(ConfigXml("LOCAL", version)).Updater().Path();
}

// HKLM\SOFTWARE\Korvella, or another application's key, created empty and
// removed with all it holds at the end: in the registry view the launcher
// reads, the 32-bit one, or with KEY_WOW64_64KEY in the 64-bit view beside it,
// which a 32-bit prefix does not have. valueName names each copy's directory.
class InstallationsKey {
public:
    explicit InstallationsKey(REGSAM view = kInstallationsView, const char* key = "SOFTWARE\\Korvella",
                              const char* valueName = "PATH")
        : view_(view), keyName_(key), valueName_(valueName)
    {
        Remove();
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName_, 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr, &key_, nullptr);
    }
    ~InstallationsKey()
    {
        if (key_ != nullptr)
            RegCloseKey(key_);
        Remove();
    }
    InstallationsKey(const InstallationsKey&) = delete;
    InstallationsKey& operator=(const InstallationsKey&) = delete;

    // A subkey whose PATH holds exactly these bytes, of this type.
    void AddValue(const std::string& name, DWORD type, const std::string& bytes)
    {
        // A string value whose bytes are followed by a zero gets that zero
        // added to it, as on Windows; a non-zero byte after them prevents that.
        std::string guarded = bytes + '\x01';
        HKEY subkey = AddSubkey(name);
        RegSetValueExA(subkey, valueName_, 0, type, reinterpret_cast<const BYTE*>(guarded.data()),
                       static_cast<DWORD>(bytes.size()));
        RegCloseKey(subkey);
    }
    // A subkey whose PATH names directory, as installers write it.
    void Add(const std::string& name, const std::string& directory)
    {
        AddValue(name, REG_SZ, directory + '\0');
    }
    // The same in UTF-16, for a directory the test's code page cannot spell.
    void Add(const std::string& name, const std::wstring& directory)
    {
        HKEY subkey = AddSubkey(name);
        RegSetValueExW(subkey, FromAnsi(valueName_).c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(directory.c_str()), static_cast<DWORD>((directory.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(subkey);
    }
    void AddWithoutPath(const std::string& name) { RegCloseKey(AddSubkey(name)); }

    // The subkeys' names, in UTF-8, in the order the registry itself enumerates them.
    std::vector<std::string> EnumeratedNames() const
    {
        std::vector<std::string> names;
        wchar_t name[MAX_PATH];
        char utf8[MAX_PATH * 3];
        for (DWORD i = 0; RegEnumKeyW(key_, i, name, MAX_PATH) == ERROR_SUCCESS; ++i) {
            WideCharToMultiByte(CP_UTF8, 0, name, -1, utf8, sizeof utf8, nullptr, nullptr);
            names.push_back(utf8);
        }
        return names;
    }
    HKEY Key() const { return key_; }

private:
    // Names are UTF-8, so that a case can name keys its code page cannot spell.
    HKEY AddSubkey(const std::string& name)
    {
        wchar_t wide[MAX_PATH] = {};
        MultiByteToWideChar(CP_UTF8, 0, name.c_str(), -1, wide, MAX_PATH);
        HKEY subkey = nullptr;
        RegCreateKeyExW(key_, wide, 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr, &subkey, nullptr);
        return subkey;
    }
    void Remove() const
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName_, 0, KEY_ALL_ACCESS | view_, &key) != ERROR_SUCCESS)
            return;
        RegDeleteTreeA(key, nullptr);
        RegCloseKey(key);
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, keyName_, view_, 0);
    }

    static std::wstring FromAnsi(const char* text)
    {
        wchar_t wide[MAX_PATH] = {};
        MultiByteToWideChar(CP_ACP, 0, text, -1, wide, MAX_PATH);
        return wide;
    }

    REGSAM view_;
    const char* keyName_;
    const char* valueName_;
    HKEY key_ = nullptr;
};
