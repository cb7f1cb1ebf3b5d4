#include "engine/scope_rules.h"

#include "engine/folder_macro_text.h"
#include "util/path_text.h"

std::string MachineOnlyRootReason(const WideString& root) {
  if (root == WideString(u"HKLM")) {
    return "HKLM belongs to the machine, where an install for the current user has no rights; HKA is HKLM per "
           "machine and HKCU per user";
  }
  if (root == WideString(u"HKCC")) return "HKCC is the machine's hardware profile, part of HKLM";
  if (root == WideString(u"HKU")) return "HKU holds every user's settings, not just the current user's (HKCU)";
  return {};
}

WideString WindowsFolderMacroIn(const WideString& path) {
  WideString upper = path;
  upper.ToUpperAscii();
  int first = 0;
  WideString found;
  for (FolderMacro macro : {FolderMacro::System, FolderMacro::SystemWow64, FolderMacro::Windows}) {
    WideString name(FolderMacroName(macro));
    name.ToUpperAscii();
    const int at = upper.Find(name);
    if (at != 0 && (first == 0 || at < first)) {
      first = at;
      found = path.Mid(at, at + name.Length() - 1);
    }
  }
  return found;
}

bool IsRegisteredExtension(const WideString& destination) {
  const WideString extension = Extension(destination);
  return extension.Equals(WideString(u".dll"), true) || extension.Equals(WideString(u".ocx"), true);
}
