#include "app/win/admin_rights.h"

#include "engine/win/folder_macros.h"
#include "util/wide_string.h"
#include "util/win/scoped_handle.h"
#include "util/win/windows_api.h"

bool HasAdminRights() {
  WideString probe(u"<Program Files>PloveInstaller.TMP");
  ExpandFolderMacros(probe);
  ScopedFileHandle file(
      CreateFileW(probe.W(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  file.Reset();
  DeleteFileW(probe.W());
  return true;
}

namespace {

OSVERSIONINFOW AskVersion() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExW(&version);
#pragma GCC diagnostic pop
  return version;
}

}  // namespace

bool IsWindowsXpFamily() {
  static const OSVERSIONINFOW version = AskVersion();
  const DWORD major = version.dwMajorVersion;
  const DWORD minor = version.dwMinorVersion;
  return major == 5 && minor >= 1;
}
