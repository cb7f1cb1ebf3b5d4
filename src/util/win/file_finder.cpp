#include "util/win/file_finder.h"

#include "util/path_text.h"

void FileFinder::Start(const WideString& folder, const WideString& pattern, bool directoriesOnly) {
  folder_ = folder;
  AddBackslash(folder_);
  pattern_ = pattern;
  directoriesOnly_ = directoriesOnly;
  started_ = false;
  find_.Reset();
}

bool FileFinder::Next() {
  for (;;) {
    if (!started_) {
      started_ = true;
      find_.Reset(FindFirstFileW(LongPathForm(folder_ + pattern_, 248).W(), &data_));
      if (!find_) return false;
    } else if (!find_ || !FindNextFileW(find_.Get(), &data_)) {
      find_.Reset();
      return false;
    }
    WideString name(data_.cFileName);
    if (name.IsEmpty()) {
      find_.Reset();
      return false;
    }
    if (directoriesOnly_ && !(data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (name == WideString(u".") || name == WideString(u"..")) continue;
    path_ = folder_ + name;
    return true;
  }
}
