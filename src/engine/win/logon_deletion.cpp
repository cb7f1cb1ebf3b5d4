#include "engine/win/logon_deletion.h"

#include "engine/win/folder_macros.h"
#include "rollback/win/run_journal.h"
#include "util/win/registry.h"
#include "util/win/windows_api.h"

namespace {

const WChar kRunOnceKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

WideString LogonDeletionValueName(const WideString& product) { return u"PloveUninstall-" + product; }

}  // namespace

bool DeleteAtNextLogon(const WideString& path, const WideString& product) {
  WideString shell(u"<System>cmd.exe");
  ExpandFolderMacros(shell);
  const WideString command = WideString::Format(u"\"%s\" /d /c del /f /q \"%s\"", shell, path);
  return WriteRegistryString(HKEY_CURRENT_USER, WideString(kRunOnceKey), LogonDeletionValueName(product), command);
}

bool CancelDeletionAtNextLogon(const WideString& product) {
  // A rollback of the run brings the old uninstaller's deletion back.
  JournalRegistryValue(HKEY_CURRENT_USER, WideString(kRunOnceKey), LogonDeletionValueName(product));
  return DeleteRegistryValue(HKEY_CURRENT_USER, WideString(kRunOnceKey), LogonDeletionValueName(product));
}
