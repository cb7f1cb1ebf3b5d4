#pragma once
// Enumerates folder\pattern. "." and ".." are never reported.

#include "util/wide_string.h"
#include "util/win/scoped_handle.h"

class FileFinder {
 public:
  FileFinder() = default;
  FileFinder(const FileFinder&) = delete;
  FileFinder& operator=(const FileFinder&) = delete;

  void Start(const WideString& folder, const WideString& pattern, bool directoriesOnly = false);
  // Moves to the next match; false when there is none.
  bool Next();
  // folder + "\" + the match's name.
  const WideString& Path() const { return path_; }
  DWORD Attributes() const { return data_.dwFileAttributes; }
  const WIN32_FIND_DATAW& Data() const { return data_; }

 private:
  WideString folder_;  // with trailing backslash
  WideString pattern_;
  WideString path_;
  WIN32_FIND_DATAW data_{};
  ScopedFindHandle find_;
  bool started_ = false;
  bool directoriesOnly_ = false;
};
