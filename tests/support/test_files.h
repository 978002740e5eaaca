// Real files and folders for tests under Wine.
#pragma once

#include <windows.h>

#include <string>

// A fresh folder under the temporary directory, removed with its contents at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return path_; }
    std::string Join(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Each takes a path in the test's code page or in UTF-16.
void WriteBytes(const std::string& path, const std::string& bytes);
void WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
std::string ReadBytes(const std::wstring& path);
bool Exists(const std::string& path);
bool Exists(const std::wstring& path);
void MakeDir(const std::string& path);
void MakeDir(const std::wstring& path);
void RemoveTree(const std::string& path);
void RemoveTree(const std::wstring& path);

std::wstring WidePath(const std::string& path);
// The system's short (8.3) form of an existing path; empty when it has none.
std::wstring ShortPath(const std::wstring& path);
