#include "uninstall/win/record_product.h"

#include "app/install_state.h"
#include "engine/record_argument.h"
#include "engine/win/folder_macros.h"
#include "engine/win/run_scope.h"
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
      ReadRegistryString(ProductRegistryRoot(), UninstallKeyPath(productName), WideString(u"InstallTo"));
  if (folder.IsEmpty()) return WideString(u"Q:\\invalid\\");
  AddBackslash(folder);
  return folder;
}

std::vector<UninstallerFolder> UninstallerFolders() {
  InstallState& state = State();
  const bool saved = state.Install64Bit;
  state.Install64Bit = false;
  const WideString folder32 = UninstallFolder();
  state.Install64Bit = true;
  const WideString folder64 = UninstallFolder();
  state.Install64Bit = saved;
  std::vector<UninstallerFolder> folders{{folder32, false}};
  if (!SamePath(folder64, folder32)) folders.push_back({folder64, true});
  return folders;
}

bool InUninstallerFolder(const WideString& path, bool* is64Bit) {
  if (is64Bit != nullptr) *is64Bit = false;
  const WideString folder = ParentFolder(path);
  for (const UninstallerFolder& candidate : UninstallerFolders()) {
    if (!SamePath(folder, candidate.path)) continue;
    if (is64Bit != nullptr) *is64Bit = candidate.is64Bit;
    return true;
  }
  return false;
}

WideString WithFullRecordPath(const WideString& arguments) {
  WideString record = RecordArgument(arguments);
  if (record.IsEmpty()) return arguments;
  ExpandFolderMacros(record);
  return ReplaceRecordArgument(arguments, AbsolutePath(record));
}
