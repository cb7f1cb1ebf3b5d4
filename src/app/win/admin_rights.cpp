#include "app/win/admin_rights.h"

#include "engine/win/folder_macros.h"
#include "util/wide_string.h"
#include "util/win/scoped_handle.h"
#include "util/win/windows_api.h"
#include "util/win/safe_files.h"

bool HasAdminRights() {
  // A name of this process's own: runs at the same time must not find each
  // other's probe in the way. Deleted as it is closed, so none stays behind.
  static LONG counter = 0;
  // The machine's Program Files, whoever this run installs for.
  const WideString folder = MachineProgramFilesFolder();
  if (folder.IsEmpty()) return false;
  const WideString probe = WideString::Format(u"%sPloveInstaller-%u-%u.TMP", folder, GetCurrentProcessId(),
                                              static_cast<unsigned>(InterlockedIncrement(&counter)));
  ScopedFileHandle file =
      CreateNewFile(probe, GENERIC_WRITE, 0, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
  return file.IsValid();
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
