#pragma once
// File versions as the placement rule compares them: the two 32-bit halves
// of the fixed version information, compared first by the high half, then
// by the low half, both unsigned. (0, 0) stands for "no version".

#include <cstdint>

struct FileVersion {
  uint32_t ms = 0;
  uint32_t ls = 0;

  bool IsNone() const { return ms == 0 && ls == 0; }
  bool operator==(const FileVersion& o) const { return ms == o.ms && ls == o.ls; }
  bool operator!=(const FileVersion& o) const { return !(*this == o); }
  bool operator>(const FileVersion& o) const { return ms != o.ms ? ms > o.ms : ls > o.ls; }
};

// An existing file with a higher version than the new one stays.
inline bool KeepExistingFile(const FileVersion& existing, const FileVersion& incoming) {
  return existing > incoming;
}

// A file in use that already has the incoming (real) version needs nothing.
inline bool InUseFileIsCurrent(const FileVersion& existing, const FileVersion& incoming) {
  return !existing.IsNone() && existing == incoming;
}
