#include "engine/win/product_folder.h"

#include "app/install_state.h"
#include "engine/win/run_scope.h"
#include "util/file_trust.h"
#include "util/path_text.h"
#include "util/string_list.h"
#include "util/win/file_system.h"
#include "util/win/folder_vouching.h"
#include "util/win/install_log.h"
#include "util/win/registry.h"
#include "util/win/safe_files.h"

namespace {

WideString ProductFolder() {
  WideString folder = State().InstallTo;
  RemoveTrailingBackslashes(folder);
  return folder;
}

// The Program Files folders of this Windows, as the machine's registry
// names them (not the environment: a user's own variables override the
// machine's, also for the elevated copy).
StringList ProgramFilesRoots() {
  const WideString key(u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
  StringList roots;
  for (const WChar* name : {u"ProgramFilesDir", u"ProgramFilesDir (x86)", u"ProgramW6432Dir"}) {
    WideString root = ReadRegistryString(HKEY_LOCAL_MACHINE, key, WideString(name));
    RemoveTrailingBackslashes(root);
    if (root.Length() > 3 && !roots.Contains(root, true)) roots.Add(root);
  }
  return roots;
}

bool InProgramFiles(const WideString& folder, const StringList& roots) {
  for (int i = 0; i < roots.Count(); ++i) {
    if (SamePath(roots.Item(i), folder) || LiesUnder(roots.Item(i), folder)) return true;
  }
  return false;
}

}  // namespace

void GuardProductFolder() {
  static WideString guarded;
  const WideString folder = ProductFolder();
  if (folder.Length() <= 3 || SamePath(folder, guarded)) return;
  guarded = folder;
  // A per-user product's folder is its user's, under the profile's rules.
  if (!ProcessIsAdministrator() || PerUserRun()) return;
  // Only administrators may add, rename or remove entries of Windows' own
  // Program Files folders: a folder the run makes there stays the folder
  // it made, and so do the folders it makes in that one.
  const StringList roots = ProgramFilesRoots();
  for (int i = 0; i < roots.Count(); ++i) VouchForEntriesOf(roots.Item(i));
  if (PathExists(folder)) {
    if (NonAdministratorsCanWriteFolder(folder))
      LogEvent(log_kind::kFolderOpen, folder + u" (it existed; its access rules are kept)");
    return;
  }
  if (InProgramFiles(folder, roots)) return;
  StringList levels;
  FolderTreeLevels(folder, levels);
  for (int i = 0; i < levels.Count(); ++i) {
    if (PathExists(levels.Item(i))) continue;
    // Everything the run puts below inherits the rules of this level.
    if (CreateNewFolder(levels.Item(i), Protection::ProgramFiles)) {
      LogEvent(log_kind::kFolderProtected, levels.Item(i));
    } else {
      LogWindowsError(log_kind::kFailure, u"protected folder " + levels.Item(i), GetLastError());
    }
    return;
  }
}

WideString LinkInProductFolder(const WideString& path) {
  const WideString folder = ProductFolder();
  if (folder.Length() <= 3 || !(SamePath(folder, path) || LiesUnder(folder, path))) return WideString();
  StringList levels;
  FolderTreeLevels(path, levels);
  for (int i = 0; i < levels.Count(); ++i) {
    const WideString& level = levels.Item(i);
    if (level.Length() < folder.Length()) continue;
    // Made by this run in a Program Files folder, or in one it made there:
    // no link can have taken its place.
    if (FolderMadeInVouchedFolder(level)) continue;
    // The same holds for whatever is in such a folder: the path itself
    // (mostly a file about to be placed) needs no look of its own.
    if (i == levels.Count() - 1 && FolderMadeInVouchedFolder(ParentFolder(level))) continue;
    if (PathIsLink(level)) return level;
  }
  return WideString();
}
