// Helpers shared by the Windows tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vorn::test {

// Value of a --name=value argument given to the test program ("" if absent).
std::string Arg(const std::string& name);
std::wstring WideArg(const std::string& name);

// A fresh folder below the system temporary folder, removed with its contents.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& Path() const { return path_; }  // ends in a backslash
    std::wstring File(const std::wstring& name) const { return path_ + name; }

  private:
    std::wstring path_;
};

bool RemoveTree(const std::wstring& folder);

std::string ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
std::vector<std::wstring> ListFolder(const std::wstring& folder);  // sorted names

// Makes the temporary folder of this process (and of the programs it starts) `folder`.
class ScopedTempFolder {
  public:
    explicit ScopedTempFolder(const std::wstring& folder);
    ~ScopedTempFolder();

  private:
    std::wstring oldTmp_, oldTemp_;
};

}  // namespace vorn::test
