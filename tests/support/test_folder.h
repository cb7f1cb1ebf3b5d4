#pragma once
// A fresh folder under the Windows temporary folder for one test, removed
// with everything in it when the test ends.

#include "util/wide_string.h"

class TestFolder {
 public:
  TestFolder();
  ~TestFolder();
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;
  // The folder with a trailing backslash.
  const WideString& Path() const { return path_; }
  WideString operator/(const WideString& name) const { return path_ + name; }

 private:
  WideString path_;
};

// Test helpers for files.
bool WriteWholeFile(const WideString& path, const void* bytes, size_t count);
bool WriteWholeFile(const WideString& path, const char* text);
bool ReadWholeFile(const WideString& path, std::string& bytes);

// printing WideStrings in assertion messages
#include <ostream>
inline std::ostream& operator<<(std::ostream& out, const WideString& s) { return out << '"' << s.ToUtf8() << '"'; }
