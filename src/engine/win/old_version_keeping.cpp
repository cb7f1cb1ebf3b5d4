#include "engine/win/old_version_keeping.h"

#include <vector>

#include "app/install_state.h"
#include "engine/record_marks.h"
#include "engine/win/file_placement.h"
#include "engine/win/folder_macros.h"
#include "engine/win/record_file_marks.h"
#include "engine/win/run_scope.h"
#include "engine/win/shared_file_count.h"
#include "engine/win/uninstall_record.h"
#include "engine/win/worker_registry.h"
#include "rollback/win/run_journal.h"
#include "script/directives.h"
#include "script/win/read_line.h"
#include "util/win/disk_file.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"

namespace {

// The program of an "UninstallString": its first quoted part, or the text
// up to the first blank.
WideString ProgramOf(const WideString& commandLine) {
  if (commandLine.CharAt(1) == u'"') {
    const int end = commandLine.FindChar(u'"', 2);
    return end == 0 ? WideString() : commandLine.Mid(2, end - 1);
  }
  const int blank = commandLine.FindChar(u' ');
  return blank == 0 ? commandLine : commandLine.Left(blank - 1);
}

void KeepValuesOfKey(HKEY root, const WideString& keyPath) {
  ScopedRegistryKey key;
  if (RegOpenKeyExW(root, keyPath.W(), 0, KEY_QUERY_VALUE | RegistryViewFlag(), key.Receive()) != ERROR_SUCCESS)
    return;
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];
    DWORD length = 16384;
    if (RegEnumValueW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    JournalRegistryValue(root, keyPath, WideString(name, static_cast<int>(length)));
  }
}

// What the record's entries name, with "<Destination>" the old install
// folder, as its uninstaller will see them.
void KeepWhatTheRecordLists(const WideString& recordPath, const WideString& oldInstallTo) {
  DiskFile file;
  if (!file.Open(recordPath, GENERIC_READ, OPEN_EXISTING, false)) return;
  LineReader record(file, false);
  InstallState& state = State();
  const WideString installTo = state.InstallTo;
  state.InstallTo = oldInstallTo;
  WideString line;
  WideString lastFile;
  std::vector<WideString> counted;
  while (record.Next(line)) {
    if (line.Equals(WideString(kCountedFileMark))) {
      // Its uninstaller counts the file down in the shared-file counts.
      if (!lastFile.IsEmpty()) counted.push_back(lastFile);
    } else if (line.Equals(Directive::CopyFile)) {
      WideString values[2];  // member, destination
      record.NextValues(values, 2);
      const WideString path = RecordedFilePath(values[1]);
      lastFile = path;
      JournalKeepOldFile(path);
      const WideString key = AppPathKey(path);
      if (!key.IsEmpty()) KeepValuesOfKey(ProductRegistryRoot(), key);
    } else if (line.Equals(Directive::CreateIcon)) {
      WideString values[4];  // target, shortcut file, arguments, option
      record.NextValues(values, 4);
      WideString shortcut = values[1];
      ExpandFolderMacros(shortcut);
      JournalKeepOldFile(shortcut);
    } else if (line.Equals(Directive::Registry)) {
      WideString values[5];  // root, key, type, name, data
      record.NextValues(values, 5);
      WideString key = values[1];
      const HKEY root = RegistryRootOfLine(values[0], key);
      ExpandFolderMacros(key);
      if (root != nullptr) JournalRegistryValue(root, key, values[3]);
    }
  }
  state.InstallTo = installTo;
  // The counts as they are, put back with the old version (one flush).
  JournalNotesAhead ahead;
  for (const WideString& path : counted) JournalRegistryValue(HKEY_LOCAL_MACHINE, WideString(kSharedDllsKey), path);
}

}  // namespace

void KeepOldVersion(const WideString& uninstallString) {
  if (!RunJournalActive()) return;
  const WideString entry = UninstallKeyPath(State().ProjectName);
  const WideString recordPath = UninstallRecordArgument(uninstallString);
  const WideString oldInstallTo = ReadRegistryString(ProductRegistryRoot(), entry, WideString(u"InstallTo"));
  KeepWhatTheRecordLists(recordPath, oldInstallTo);
  JournalKeepOldFile(recordPath);
  JournalKeepOldFile(ProgramOf(uninstallString));
  KeepValuesOfKey(ProductRegistryRoot(), entry);
  JournalProgramRun(u"the old version's uninstaller (its uninstall programs cannot be undone): " + uninstallString);
}
