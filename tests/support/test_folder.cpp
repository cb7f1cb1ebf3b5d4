#include "test_folder.h"

#include <cstring>
#include <string>

#include "util/win/file_system.h"
#include "util/win/scoped_handle.h"
#include "util/win/temp_names.h"

TestFolder::TestFolder() { MakeTempFolder(path_); }

TestFolder::~TestFolder() {
  if (!path_.IsEmpty()) DeleteFolderTree(path_, WideString(u"*.*"), true);
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
