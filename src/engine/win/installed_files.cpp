#include "engine/win/installed_files.h"

#include <string>
#include <unordered_map>

#include "engine/path_key.h"

namespace {

struct InstalledFiles {
  std::unordered_map<std::u16string, FileFate> fates;
  uint32_t changes = 0;
};

InstalledFiles& Files() {
  static InstalledFiles files;
  return files;
}

void Note(const WideString& path, FileFate fate) {
  InstalledFiles& files = Files();
  FileFate& known = files.fates[PathKey(path)];
  if (known == fate || (known == FileFate::Placed && fate == FileFate::Kept)) return;
  known = fate;
  ++files.changes;
}

}  // namespace

void NoteFilePlaced(const WideString& path) { Note(path, FileFate::Placed); }

void NoteFileKept(const WideString& path) { Note(path, FileFate::Kept); }

FileFate FateOf(const WideString& path) {
  const InstalledFiles& files = Files();
  const auto found = files.fates.find(PathKey(path));
  return found == files.fates.end() ? FileFate::NotReached : found->second;
}

uint32_t InstalledFilesChanges() { return Files().changes; }

void ForgetInstalledFiles() {
  Files().fates.clear();
  ++Files().changes;
}
