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

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
bool Exists(const std::string& path);
void MakeDir(const std::string& path);
void RemoveTree(const std::string& path);
