#include "uninstall/win/empty_folders.h"

#include "engine/win/folder_macros.h"
#include "util/path_text.h"
#include "util/win/install_log.h"
#include "util/win/windows_api.h"
#include "util/win/safe_files.h"

namespace {

bool IsProtectedFolder(const WideString& path) {
  // Both views' program folders: a product's files in the other view's
  // tree (its shared files, say) must not take that tree with them.
  if (MachineProgramFolders().Contains(path, true)) return true;
  static const WChar* const kFolders[] = {u"<System>",         u"<Windows>", u"<Program Files>", u"<Startup>",
                                          u"<Start Programs>", u"<DeskTop>", u"<QuickLaunch>",   u"<MyDocuments>"};
  for (const WChar* macro : kFolders) {
    WideString value(macro);
    ExpandFolderMacros(value);
    if (value.CharAt(kLastPosition) == u'\\') value.RemoveLast(1);
    if (value.Equals(path, true)) return true;
  }
  return false;
}

}  // namespace

void RemoveEmptyFolders(const WideString& folder) {
  WideString path = folder;
  if (path.CharAt(kLastPosition) == u'\\') path.RemoveLast(1);
  while (path.Length() > 3) {
    if (IsProtectedFolder(path)) return;
    if (RemoveEmptyFolder(path)) LogEvent(log_kind::kFolderRemoved, path);
    int slash = path.FindLast(u'\\');
    if (slash == 0) return;
    path.Truncate(slash - 1);
  }
}

bool RemoveLeftTempFiles(const WideString& folder) {
  WideString path = folder;
  if (path.CharAt(kLastPosition) == u'\\') path.RemoveLast(1);
  if (path.Length() <= 3 || IsProtectedFolder(path)) return false;
  path += u"\\";
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW(LongPathForm(path + u"~PLI*.tmp", 248).W(), &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool removed = false;
  do {
    const DWORD attributes = found.dwFileAttributes;
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        (attributes & FILE_ATTRIBUTE_HIDDEN) == 0)
      continue;
    const WideString file = path + WideString(reinterpret_cast<const WChar*>(found.cFileName));
    if (DeleteFileNoFollow(file)) {
      LogEvent(log_kind::kFileRemoved, file);
      removed = true;
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return removed;
}
