#include "packer/scope_rules.h"

#include "engine/folder_macro_text.h"
#include "util/path_text.h"

std::string MachineOnlyRootReason(const WideString& root) {
  if (root == WideString(u"HKLM")) {
    return "HKLM belongs to the machine, where an install for the current user has no rights; HKA is HKLM per "
           "machine and HKCU per user";
  }
  // Writes below HKCR go to HKLM\Software\Classes unless the key is the
  // user's already; HKA with Software\Classes\... is the same per scope.
  if (root == WideString(u"HKCR")) {
    return "HKCR writes the machine's classes (HKLM\\Software\\Classes); write HKA or HKCU with the key below "
           "Software\\Classes";
  }
  if (root == WideString(u"HKCC")) return "HKCC is the machine's hardware profile, part of HKLM";
  if (root == WideString(u"HKU")) return "HKU holds every user's settings, not just the current user's (HKCU)";
  return {};
}

WideString WindowsFolderMacroOf(const WideString& path) {
  for (FolderMacro macro : {FolderMacro::System, FolderMacro::SystemWow64, FolderMacro::Windows}) {
    const WideString name(FolderMacroName(macro));
    if (path.StartsWith(name, true)) return path.Left(name.Length());
  }
  return {};
}

bool IsRegisteredExtension(const WideString& destination) {
  const WideString extension = Extension(destination);
  return extension.Equals(WideString(u".dll"), true) || extension.Equals(WideString(u".ocx"), true);
}
