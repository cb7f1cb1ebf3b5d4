#include "engine/win/shared_file_count.h"

#include "engine/win/folder_macros.h"
#include "util/win/install_log.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"

const WChar* const kSharedDllsKey = u"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

bool IsSharedSystemFile(const WideString& path) {
  for (const WChar* macro : {u"<System>", u"<SystemWOW64>", u"<Windows>"}) {
    WideString folder(macro);
    ExpandFolderMacros(folder);
    // A folder Windows did not give keeps its macro and matches nothing.
    if (folder.StartsWith(WideString(u"<"))) continue;
    if (path.Length() > folder.Length() && path.StartsWith(folder, true)) return true;
  }
  return false;
}

DWORD SharedFileCount(const WideString& path) {
  ScopedRegistryKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, WideString(kSharedDllsKey).W(), 0, KEY_QUERY_VALUE | RegistryViewFlag(),
                    key.Receive()) != ERROR_SUCCESS)
    return 0;
  DWORD type = 0;
  DWORD count = 0;
  DWORD size = sizeof count;
  if (RegQueryValueExW(key.Get(), path.W(), nullptr, &type, reinterpret_cast<BYTE*>(&count), &size) !=
          ERROR_SUCCESS ||
      size != sizeof count || (type != REG_DWORD && type != REG_BINARY))
    return 0;
  return count;
}

DWORD CountSharedFileUp(const WideString& path) {
  DWORD count = SharedFileCount(path) + 1;
  // A count that cannot grow any more stays as it is.
  if (count == 0) count = 0xFFFFFFFFu;
  WriteRegistryValue(HKEY_LOCAL_MACHINE, WideString(kSharedDllsKey), path, REG_DWORD, &count, sizeof count);
  return count;
}

DWORD CountSharedFileDown(const WideString& path) {
  const DWORD count = SharedFileCount(path);
  if (count > 1) {
    const DWORD left = count - 1;
    WriteRegistryValue(HKEY_LOCAL_MACHINE, WideString(kSharedDllsKey), path, REG_DWORD, &left, sizeof left);
    return left;
  }
  const bool deleted = DeleteRegistryValue(HKEY_LOCAL_MACHINE, WideString(kSharedDllsKey), path);
  LogRegistryRemoval(HKEY_LOCAL_MACHINE, WideString(kSharedDllsKey), &path,
                     deleted ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
  return 0;
}
