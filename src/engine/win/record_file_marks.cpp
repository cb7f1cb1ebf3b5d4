#include "engine/win/record_file_marks.h"

#include "app/install_state.h"
#include "engine/folder_macro_text.h"
#include "engine/path_table.h"
#include "engine/record_marks.h"
#include "engine/win/folder_macros.h"
#include "engine/win/installed_files.h"
#include "engine/win/run_scope.h"
#include "engine/win/shared_file_count.h"
#include "engine/win/uninstall_record.h"
#include "script/directives.h"
#include "script/win/read_line.h"
#include "util/win/disk_file.h"
#include "util/win/registry.h"

namespace {

// What the previous record says of a destination, as bits.
constexpr uint32_t kListed = 1;  // the record has an entry for it
constexpr uint32_t kKept = 2;
constexpr uint32_t kCounted = 4;

struct MarkState {
  bool previousRead = false;
  PathTable previous;    // kListed | kKept | kCounted
  PathTable countedNow;  // the shared files this process counted up
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

void ReadRecord(DiskFile& file, const WideString& installTo, MarkState& marks) {
  LineReader record(file, false);
  WideString line;
  // The entry the marks that follow belong to (the table does not move
  // its slots between two entries).
  uint32_t* last = nullptr;
  while (record.Next(line)) {
    if (last != nullptr && line.Equals(kKeptFileMark)) {
      *last |= kKept;
    } else if (last != nullptr && line.Equals(kCountedFileMark)) {
      *last |= kCounted;
    } else if (line.Equals(Directive::CopyFile)) {
      WideString values[2];  // member, destination
      record.NextValues(values, 2);
      last = &marks.previous.At(PreviousPath(values[1], installTo));
      *last |= kListed;
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
      UninstallRecordArgument(ReadRegistryString(ProductRegistryRoot(), entry, WideString(u"UninstallString")));
  if (recordPath.IsEmpty()) return;
  WideString installTo = ReadRegistryString(ProductRegistryRoot(), entry, WideString(u"InstallTo"));
  // As the uninstaller has it: no folder is one that holds nothing.
  if (installTo.IsEmpty()) installTo = u"Q:\\invalid\\";
  DiskFile record;
  if (record.Open(recordPath, GENERIC_READ, OPEN_EXISTING, false)) ReadRecord(record, installTo, marks);
}

FileMarks MarksForDestination(const WideString& destination) {
  MarkState& marks = Marks();
  const WideString path = RecordedFilePath(destination);
  const uint32_t* found = marks.previous.Find(path);
  const uint32_t previous = found == nullptr ? 0 : *found;
  const FileFate fate = FateOf(path);

  FileMarks result;
  switch (fate) {
    case FileFate::Placed: break;
    case FileFate::Kept: result.kept = previous == 0 || (previous & kKept) != 0; break;
    case FileFate::NotReached: result.kept = (previous & kKept) != 0; break;
  }
  if ((previous & kCounted) != 0 || marks.countedNow.Find(path) != nullptr) {
    result.counted = true;
  } else if (fate != FileFate::NotReached && IsSharedSystemFile(path)) {
    CountSharedFileUp(path);
    marks.countedNow.At(path) = 1;
    result.counted = true;
  }
  return result;
}

void ForgetRecordMarks() {
  MarkState& marks = Marks();
  marks.previousRead = false;
  marks.previous.Clear();
  marks.countedNow.Clear();
}
