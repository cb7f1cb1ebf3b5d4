#include "test_folder.h"

#include <cstring>
#include <string>

#include "util/win/file_finder.h"
#include "util/win/file_system.h"
#include "util/win/scoped_handle.h"
#include "util/win/temp_names.h"

TestFolder::TestFolder() { MakeTempFolder(path_); }

TestFolder::~TestFolder() {
  if (!path_.IsEmpty()) DeleteFolderTree(path_, WideString(u"*.*"), true);
}

TempInFolder::TempInFolder(const WideString& folder) : folder_(folder) {
  CreateFolderTree(folder_);
  wchar_t saved[1024] = {};
  hadTmp_ = GetEnvironmentVariableW(L"TMP", saved, 1024) > 0;
  saved_ = WideString(saved);
  SetEnvironmentVariableW(L"TMP", folder_.W());
}

TempInFolder::~TempInFolder() { SetEnvironmentVariableW(L"TMP", hadTmp_ ? saved_.W() : nullptr); }

int TempInFolder::Files(const WideString& pattern) const {
  return static_cast<int>(NamesIn(folder_, pattern, true).size());
}

std::vector<WideString> NamesIn(const WideString& folder, const WideString& pattern, bool filesOnly) {
  std::vector<WideString> names;
  FileFinder finder;
  finder.Start(folder, pattern);
  while (finder.Next()) {
    if (filesOnly && (finder.Attributes() & FILE_ATTRIBUTE_DIRECTORY)) continue;
    names.push_back(WideString(finder.Data().cFileName));
  }
  return names;
}

bool WriteWholeFile(const WideString& path, const void* bytes, size_t count) {
  ScopedFileHandle file(CreateFileW(path.W(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD done = 0;
  return WriteFile(file.Get(), bytes, static_cast<DWORD>(count), &done, nullptr) && done == count;
}

bool WriteWholeFile(const WideString& path, const char* text) { return WriteWholeFile(path, text, std::strlen(text)); }

bool ReadWholeFile(const WideString& path, std::string& bytes) {
  ScopedFileHandle file(CreateFileW(path.W(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  bytes.clear();
  char buffer[65536];
  DWORD done = 0;
  while (ReadFile(file.Get(), buffer, sizeof buffer, &done, nullptr) && done > 0) bytes.append(buffer, done);
  return true;
}
