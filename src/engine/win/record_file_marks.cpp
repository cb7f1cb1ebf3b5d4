#include "engine/win/record_file_marks.h"

#include <string>
#include <unordered_map>
#include <unordered_set>

#include "app/install_state.h"
#include "engine/folder_macro_text.h"
#include "engine/path_key.h"
#include "engine/record_marks.h"
#include "engine/win/folder_macros.h"
#include "engine/win/installed_files.h"
#include "engine/win/shared_file_count.h"
#include "engine/win/uninstall_record.h"
#include "script/directives.h"
#include "script/win/read_line.h"
#include "util/win/disk_file.h"
#include "util/win/registry.h"

namespace {

struct PreviousEntry {
  bool kept = false;
  bool counted = false;
};

struct MarkState {
  bool previousRead = false;
  std::unordered_map<std::u16string, PreviousEntry> previous;
  std::unordered_set<std::u16string> countedNow;
};

MarkState& Marks() {
  static MarkState marks;
  return marks;
}

WideString WithoutPlatformMarkers(WideString path) {
  path.Replace(WideString(u"__PLI_WIN64"), WideString(), false);
  path.Replace(WideString(u"__PLI_UNICODE"), WideString(), false);
  return path;
}

// The previous record's destination as its uninstaller will see it: its
// own install folder for "<Destination>".
WideString PreviousPath(WideString destination, const WideString& installTo) {
  SubstituteFolderMacro(destination, FolderMacro::Destination, installTo);
  ExpandFolderMacros(destination);
  return WithoutPlatformMarkers(destination);
}

void ReadRecord(DiskFile& record, const WideString& installTo, MarkState& marks) {
  WideString line;
  PreviousEntry* last = nullptr;
  while (ReadLine(record, line, false)) {
    if (last != nullptr && line.Equals(kKeptFileMark)) {
      last->kept = true;
    } else if (last != nullptr && line.Equals(kCountedFileMark)) {
      last->counted = true;
    } else if (line.Equals(Directive::CopyFile)) {
      WideString values[2];  // member, destination
      ReadValueLines(record, values, 2);
      last = &marks.previous[PathKey(PreviousPath(values[1], installTo))];
    } else {
      last = nullptr;
    }
  }
}

}  // namespace

WideString RecordedFilePath(const WideString& destination) {
  WideString path = destination;
  ExpandFolderMacros(path);
  return WithoutPlatformMarkers(path);
}

void ReadPreviousRecordMarks() {
  MarkState& marks = Marks();
  if (marks.previousRead) return;
  marks.previousRead = true;
  const WideString entry = UninstallKeyPath(State().ProjectName);
  const WideString recordPath =
      UninstallRecordArgument(ReadRegistryString(HKEY_LOCAL_MACHINE, entry, WideString(u"UninstallString")));
  if (recordPath.IsEmpty()) return;
  WideString installTo = ReadRegistryString(HKEY_LOCAL_MACHINE, entry, WideString(u"InstallTo"));
  // As the uninstaller has it: no folder is one that holds nothing.
  if (installTo.IsEmpty()) installTo = u"Q:\\invalid\\";
  DiskFile record;
  if (record.Open(recordPath, GENERIC_READ, OPEN_EXISTING, false)) ReadRecord(record, installTo, marks);
}

FileMarks MarksForDestination(const WideString& destination) {
  MarkState& marks = Marks();
  const WideString path = RecordedFilePath(destination);
  const std::u16string key = PathKey(path);
  const auto found = marks.previous.find(key);
  const PreviousEntry* previous = found == marks.previous.end() ? nullptr : &found->second;
  const FileFate fate = FateOf(path);

  FileMarks result;
  switch (fate) {
    case FileFate::Placed: break;
    case FileFate::Kept: result.kept = previous == nullptr || previous->kept; break;
    case FileFate::NotReached: result.kept = previous != nullptr && previous->kept; break;
  }
  if ((previous != nullptr && previous->counted) || marks.countedNow.count(key) != 0) {
    result.counted = true;
  } else if (fate != FileFate::NotReached && IsSharedSystemFile(path)) {
    CountSharedFileUp(path);
    marks.countedNow.insert(key);
    result.counted = true;
  }
  return result;
}

void ForgetRecordMarks() {
  MarkState& marks = Marks();
  marks.previousRead = false;
  marks.previous.clear();
  marks.countedNow.clear();
}
