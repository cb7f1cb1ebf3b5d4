#include "uninstall/win/removal_list.h"

#include "app/install_state.h"
#include "engine/record_marks.h"
#include "engine/win/folder_macros.h"
#include "engine/win/record_file_marks.h"
#include "engine/scope_rules.h"
#include "engine/win/run_scope.h"
#include "engine/win/shared_file_count.h"
#include "engine/win/worker_registry.h"
#include "script/directives.h"
#include "script/win/read_line.h"
#include "uninstall/win/record_product.h"
#include "util/path_text.h"
#include "util/win/file_finder.h"
#include "util/win/install_log.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"

namespace {

// RegCreateKeyExW with full access, so a key that no longer exists comes
// back empty; then the one value goes.
void DeleteNamedValue(HKEY root, const WideString& keyPath, const WideString& valueName) {
  ScopedRegistryKey key;
  if (RegCreateKeyExW(root, keyPath.W(), 0, nullptr, 0, KEY_ALL_ACCESS | RegistryViewFlag(), nullptr,
                      key.Receive(), nullptr) != ERROR_SUCCESS)
    return;
  LogRegistryRemoval(root, keyPath, &valueName, RegDeleteValueW(key.Get(), valueName.W()));
}

// Removes the last entry equal to path; false when there is none.
bool RemoveLastEqual(StringList& list, const WideString& path) {
  for (int i = list.Count() - 1; i >= 0; --i) {
    if (list.Item(i).Equals(path, true)) {
      list.RemoveAt(i);
      return true;
    }
  }
  return false;
}

// The "[CopyFile]" entries of another product's record protect their files.
void ProtectFilesOf(const WideString& other, bool is64Bit, StringList& removals) {
  InstallState& state = State();
  const WideString otherInstallTo = ReadInstallFolder(ProductNameFromRecord(other));
  DiskFile file;
  if (!file.Open(other, GENERIC_READ, OPEN_EXISTING, false)) return;
  LineReader lines(file, false);
  WideString line;
  while (lines.Next(line)) {
    if (!line.Equals(Directive::CopyFile)) continue;
    WideString values[2];
    lines.NextValues(values, 2);
    // "<Destination>" and "<Program Files>" as at the other product's install.
    const WideString savedInstallTo = state.InstallTo;
    const bool saved64Bit = state.Install64Bit;
    state.InstallTo = otherInstallTo;
    state.Install64Bit = is64Bit;
    const WideString path = RemovalPath(values[1]);
    state.InstallTo = savedInstallTo;
    state.Install64Bit = saved64Bit;
    RemoveLastEqual(removals, path);
  }
}

}  // namespace

WideString RemovalPath(const WideString& destination) { return RecordedFilePath(destination); }

void CollectRemovals(DiskFile& file, StringList& removals, RecordMarks& marks) {
  LineReader record(file, false);
  WideString line;
  // The destination of the entry just read: marks follow its value lines.
  WideString marked;
  while (record.Next(line)) {
    if (!marked.IsEmpty() && line.Equals(kKeptFileMark)) {
      marks.kept.Add(marked);
      continue;
    }
    if (!marked.IsEmpty() && line.Equals(kCountedFileMark)) {
      if (!marks.counted.Contains(marked, true)) marks.counted.Add(marked);
      continue;
    }
    marked.Clear();
    if (line.Equals(Directive::CopyFile)) {
      WideString values[2];  // member, destination
      record.NextValues(values, 2);
      // A per-user install placed nothing in Windows' own folders.
      if (PerUserRun() && !WindowsFolderMacroIn(values[1]).IsEmpty()) continue;
      WideString path = RemovalPath(values[1]);
      if (!removals.Contains(path, true)) removals.Add(path);
      marked = path;
    } else if (line.Equals(Directive::CreateIcon)) {
      WideString values[3];  // target, shortcut file, arguments
      record.NextValues(values, 3);
      ExpandFolderMacros(values[1]);
      removals.Add(values[1]);
    } else if (line.Equals(Directive::Registry)) {
      WideString values[5];  // root, key path, type, value name, data
      record.NextValues(values, 5);
      HKEY root = RegistryRootOfLine(values[0], values[1]);
      if (root == nullptr) continue;
      ExpandFolderMacros(values[1]);
      DeleteNamedValue(root, values[1], values[3]);
    }
  }
}

void LeaveKeptFiles(const RecordMarks& marks, StringList& removals) {
  for (int i = 0; i < marks.kept.Count(); ++i) {
    const WideString& path = marks.kept.Item(i);
    if (RemoveLastEqual(removals, path)) LogEvent(log_kind::kFileKept, path + u" (there before the install)");
  }
}

void ProtectSharedFiles(const WideString& recordPath, StringList& removals) {
  const WideString product = ProductNameFromRecord(recordPath);
  std::vector<UninstallerFolder> folders = UninstallerFolders();
  bool listed = false;
  for (const UninstallerFolder& folder : folders) listed = listed || SamePath(folder.path, ParentFolder(recordPath));
  if (!listed) folders.push_back({ParentFolder(recordPath), State().Install64Bit});
  for (const UninstallerFolder& folder : folders) {
    FileFinder finder;
    finder.Start(folder.path, WideString(u"PloveUninstall-*.dat"));
    while (finder.Next()) {
      const WideString other = finder.Path();
      if (SamePath(other, recordPath) || (finder.Attributes() & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
      if (ProductNameFromRecord(other).Equals(product, true)) continue;
      ProtectFilesOf(other, folder.is64Bit, removals);
    }
  }
}

void ReleaseSharedCounts(const RecordMarks& marks, StringList& removals) {
  for (int i = 0; i < marks.counted.Count(); ++i) {
    const WideString& path = marks.counted.Item(i);
    const DWORD left = CountSharedFileDown(path);
    if (left > 0 && RemoveLastEqual(removals, path)) {
      LogEvent(log_kind::kFileKept, path + WideString::Format(u" (still counted by %u other programs)", left));
    }
  }
}
