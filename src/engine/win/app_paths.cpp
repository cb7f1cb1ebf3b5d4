// "App Paths" entries of placed programs, so that the shell finds them by
// file name alone.

#include "engine/win/file_placement.h"
#include "engine/win/folder_macros.h"
#include "engine/win/run_scope.h"
#include "util/path_text.h"
#include "util/win/registry.h"

WideString AppPathKey(const WideString& path) {
  if (!Extension(path).Equals(WideString(u".EXE"), true)) return WideString();
  return WideString::Format(u"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\%s", FileName(path));
}

void RegisterAppPath(const WideString& destination) {
  WideString path = destination;
  ExpandFolderMacros(path);
  const WideString key = AppPathKey(path);
  if (key.IsEmpty()) return;
  WriteRegistryString(ProductRegistryRoot(), key, WideString(), path);
  WriteRegistryString(ProductRegistryRoot(), key, WideString(u"Path"), ParentFolder(path));
}
