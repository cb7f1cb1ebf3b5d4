#pragma once
// A fresh folder under the Windows temporary folder for one test, removed
// with everything in it when the test ends.

#include <vector>

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

// TMP points at folder (made when missing) while the object lives, so that
// the temporary files of the code under test can be counted.
class TempInFolder {
 public:
  explicit TempInFolder(const WideString& folder);
  ~TempInFolder();
  TempInFolder(const TempInFolder&) = delete;
  TempInFolder& operator=(const TempInFolder&) = delete;
  // The files (not folders) in it that match the pattern.
  int Files(const WideString& pattern = WideString(u"*")) const;

 private:
  WideString folder_;
  WideString saved_;
  bool hadTmp_ = false;
};

// The names in folder that match the pattern, without "." and ".."; folders
// as well unless filesOnly.
std::vector<WideString> NamesIn(const WideString& folder, const WideString& pattern, bool filesOnly);

// Test helpers for files.
bool WriteWholeFile(const WideString& path, const void* bytes, size_t count);
bool WriteWholeFile(const WideString& path, const char* text);
bool ReadWholeFile(const WideString& path, std::string& bytes);

// printing WideStrings in assertion messages
#include <ostream>
inline std::ostream& operator<<(std::ostream& out, const WideString& s) { return out << '"' << s.ToUtf8() << '"'; }
