#include "rollback/win/old_version_folders.h"

#include "engine/win/folder_macros.h"
#include "util/path_text.h"
#include "util/win/install_log.h"
#include "util/win/safe_files.h"

namespace {

// The folders that an uninstall leaves, however empty.
bool NeverRemoved(const WideString& folder) {
  static const WChar* const kFolders[] = {u"<System>",         u"<Windows>", u"<Program Files>", u"<Startup>",
                                          u"<Start Programs>", u"<DeskTop>", u"<QuickLaunch>",   u"<MyDocuments>"};
  for (const WChar* macro : kFolders) {
    WideString value(macro);
    ExpandFolderMacros(value);
    RemoveTrailingBackslashes(value);
    if (SamePath(value, folder)) return true;
  }
  return false;
}

bool Listed(const std::vector<WideString>& list, const WideString& item) {
  for (const WideString& entry : list) {
    if (SamePath(entry, item)) return true;
  }
  return false;
}

}  // namespace

void RemoveOldVersionFolders(const std::vector<WideString>& oldFiles) {
  std::vector<WideString> climbed;  // a level met again ends the climb: what is above it was tried
  for (const WideString& file : oldFiles) {
    WideString level = ParentFolder(file);
    RemoveTrailingBackslashes(level);
    if (!FirstLinkOnPath(level).IsEmpty()) continue;
    while (level.Length() > 3 && !NeverRemoved(level) && !Listed(climbed, level)) {
      climbed.push_back(level);
      if (RemoveEmptyFolder(level)) {
        LogEvent(log_kind::kFolderRemoved, level);
      } else {
        // Gone already (its uninstaller emptied and removed it): the one
        // above may be empty still. Anything else holds something.
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) break;
      }
      const WideString parent = ParentFolder(level);
      if (parent.Length() >= level.Length()) break;
      level = parent;
      RemoveTrailingBackslashes(level);
    }
  }
}
