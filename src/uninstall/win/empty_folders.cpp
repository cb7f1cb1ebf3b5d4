#include "uninstall/win/empty_folders.h"

#include "engine/win/folder_macros.h"
#include "util/path_text.h"
#include "util/win/install_log.h"
#include "util/win/windows_api.h"
#include "util/win/safe_files.h"

namespace {

bool IsProtectedFolder(const WideString& path) {
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
