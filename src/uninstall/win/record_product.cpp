#include "uninstall/win/record_product.h"

#include "engine/record_argument.h"
#include "engine/win/folder_macros.h"
#include "engine/win/uninstall_record.h"
#include "util/path_text.h"
#include "util/win/file_system.h"
#include "util/win/registry.h"

WideString ProductNameFromRecord(const WideString& recordPath) {
  WideString name = BaseName(recordPath);
  int dash = name.FindChar(u'-');
  return dash == 0 ? name : name.From(dash + 1);
}

WideString ReadInstallFolder(const WideString& productName) {
  WideString folder =
      ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(productName), WideString(u"InstallTo"));
  if (folder.IsEmpty()) return WideString(u"Q:\\invalid\\");
  AddBackslash(folder);
  return folder;
}

WideString WithFullRecordPath(const WideString& arguments) {
  WideString record = RecordArgument(arguments);
  if (record.IsEmpty()) return arguments;
  ExpandFolderMacros(record);
  return ReplaceRecordArgument(arguments, AbsolutePath(record));
}
