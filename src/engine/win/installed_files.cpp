#include "engine/win/installed_files.h"

#include "engine/path_table.h"

namespace {

struct InstalledFiles {
  PathTable fates;  // a FileFate for each path
  uint32_t changes = 0;
};

InstalledFiles& Files() {
  static InstalledFiles files;
  return files;
}

void Note(const WideString& path, FileFate fate) {
  InstalledFiles& files = Files();
  uint32_t& known = files.fates.At(path);
  const FileFate was = static_cast<FileFate>(known);
  if (was == fate || (was == FileFate::Placed && fate == FileFate::Kept)) return;
  known = static_cast<uint32_t>(fate);
  ++files.changes;
}

}  // namespace

void NoteFilePlaced(const WideString& path) { Note(path, FileFate::Placed); }

void NoteFileKept(const WideString& path) { Note(path, FileFate::Kept); }

FileFate FateOf(const WideString& path) {
  const InstalledFiles& files = Files();
  const uint32_t* fate = files.fates.Find(path);
  return fate == nullptr ? FileFate::NotReached : static_cast<FileFate>(*fate);
}

uint32_t InstalledFilesChanges() { return Files().changes; }

void ForgetInstalledFiles() {
  Files().fates.Clear();
  ++Files().changes;
}
