#include "wizard/win/install_folder.h"

#include "app/install_state.h"
#include "engine/win/folder_macros.h"
#include "util/win/install_log.h"
#include "util/win/message_door.h"
#include "wizard/wizard_rules.h"

namespace {

WideString Expanded(const WideString& path) {
  WideString expanded = path;
  ExpandFolderMacros(expanded);
  return expanded;
}

// Whether a destination lies in the install folder ("<Destination>", in any
// case of its letters, as the folder macros are found).
bool UsesInstallFolder(const StringList& destinations) {
  for (int i = 0; i < destinations.Count(); ++i) {
    WideString upper = destinations.Item(i);
    upper.ToUpperAscii();
    if (upper.Find(u"<DESTINATION>") != 0) return true;
  }
  return false;
}

}  // namespace

bool SettleInstallFolder(const ScriptScan& scan, WideString& defaultInstallPath) {
  InstallState& state = State();
  defaultInstallPath = scan.defaultInstallPath;
  const WideString folder = Expanded(state.InstallTo);
  if (IsFullFolderPath(folder)) return true;
  // A script that names no folder and places nothing in one needs none.
  if (state.InstallTo.IsEmpty() && !scan.commandLineFolder && !UsesInstallFolder(scan.destinations)) return true;
  WideString refused = folder;
  if (scan.commandLineFolder) {
    const WideString own = Expanded(scan.scriptInstallPath);
    refused = own;
    if (IsFullFolderPath(own)) {
      LogEvent(log_kind::kInstall, u"the install folder '" + folder +
                                       u"' of the command line is not a full path; the folder " + own +
                                       u" is used instead");
      state.InstallTo = scan.scriptInstallPath;
      defaultInstallPath = scan.scriptInstallPath;
      return true;
    }
  }
  ShowMessage(nullptr,
              WideString::Format(u"The install folder '%s' is not a full path (such as C:\\Program Files\\App); "
                                 u"nothing was installed.",
                                 refused),
              state.InstallerTitle, MB_ICONERROR);
  return false;
}
