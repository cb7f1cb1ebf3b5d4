#include "engine/win/logon_deletion.h"

#include "engine/win/folder_macros.h"
#include "util/win/registry.h"
#include "util/win/windows_api.h"

const WChar kRunOnceKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

WideString LogonDeletionValueName(const WideString& product) { return u"PloveUninstall-" + product; }

bool DeleteAtNextLogon(const WideString& path, const WideString& product) {
  WideString shell(u"<System>cmd.exe");
  ExpandFolderMacros(shell);
  const WideString command = WideString::Format(u"\"%s\" /d /c del /f /q \"%s\"", shell, path);
  return WriteRegistryString(HKEY_CURRENT_USER, WideString(kRunOnceKey), LogonDeletionValueName(product), command);
}

bool CancelDeletionAtNextLogon(const WideString& product) {
  return DeleteRegistryValue(HKEY_CURRENT_USER, WideString(kRunOnceKey), LogonDeletionValueName(product));
}
