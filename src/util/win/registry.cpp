#include "util/win/registry.h"

#include <vector>

#include "util/path_text.h"
#include "util/win/install_log.h"
#include "util/win/scoped_handle.h"

REGSAM RegistryViewFlag() {
#ifdef _WIN64
  return KEY_WOW64_32KEY;
#else
  return 0;
#endif
}

namespace {

// status, when given, receives RegCreateKeyExW's answer.
ScopedRegistryKey OpenKey(HKEY root, const WideString& keyPath, REGSAM access, LONG* status = nullptr) {
  ScopedRegistryKey key;
  if (status != nullptr) *status = ERROR_INVALID_PARAMETER;
  if (root == nullptr || keyPath.IsEmpty()) return key;
  HKEY opened = nullptr;
  const LONG created = RegCreateKeyExW(root, keyPath.W(), 0, const_cast<wchar_t*>(L""), REG_OPTION_NON_VOLATILE,
                                       access | RegistryViewFlag(), nullptr, &opened, nullptr);
  if (status != nullptr) *status = created;
  if (created == ERROR_SUCCESS) key.Reset(opened);
  return key;
}

// Reads and deletions open what is there and create nothing.
ScopedRegistryKey OpenExistingKey(HKEY root, const WideString& keyPath, REGSAM access) {
  ScopedRegistryKey key;
  if (root == nullptr || keyPath.IsEmpty()) return key;
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, keyPath.W(), 0, access | RegistryViewFlag(), &opened) == ERROR_SUCCESS) key.Reset(opened);
  return key;
}

RegistryWriteObserver g_observer = nullptr;

}  // namespace

void SetRegistryWriteObserver(RegistryWriteObserver observer) { g_observer = observer; }

WideString ReadRegistryString(HKEY root, const WideString& keyPath, const WideString& valueName) {
  ScopedRegistryKey key = OpenExistingKey(root, keyPath, KEY_QUERY_VALUE);
  if (!key) return WideString();
  DWORD size = 0;
  if (RegQueryValueExW(key.Get(), valueName.W(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
    return WideString();
  std::vector<BYTE> buffer(static_cast<size_t>(size) + 2 + 1, 0);
  DWORD type = 0;
  DWORD got = size;
  if (RegQueryValueExW(key.Get(), valueName.W(), nullptr, &type, buffer.data(), &got) != ERROR_SUCCESS)
    return WideString();
  if (type != REG_SZ && type != REG_EXPAND_SZ) return WideString();
  // The stored text may lack its terminating zero; the extra bytes supply one.
  return WideString(reinterpret_cast<const wchar_t*>(buffer.data()));
}

bool WriteRegistryValue(HKEY root, const WideString& keyPath, const WideString& valueName, DWORD type,
                        const void* bytes, DWORD byteCount) {
  if (g_observer != nullptr) g_observer(root, keyPath, valueName);
  LONG status = ERROR_SUCCESS;
  ScopedRegistryKey key = OpenKey(root, keyPath, KEY_WRITE, &status);
  if (key) status = RegSetValueExW(key.Get(), valueName.W(), 0, type, static_cast<const BYTE*>(bytes), byteCount);
  LogRegistryWrite(root, keyPath, valueName, type, bytes, byteCount, status);
  return status == ERROR_SUCCESS;
}

bool WriteRegistryString(HKEY root, const WideString& keyPath, const WideString& valueName,
                         const WideString& text) {
  return WriteRegistryValue(root, keyPath, valueName, REG_SZ, text.W(),
                            static_cast<DWORD>((text.Length() + 1) * 2));
}

void EnumerateSubkeys(HKEY root, const WideString& keyPath, StringList& list) {
  list.Clear();
  ScopedRegistryKey opened;
  HKEY key = root;
  if (!keyPath.IsEmpty()) {
    opened = OpenExistingKey(root, keyPath, KEY_READ);
    if (!opened) return;
    key = opened.Get();
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[1040];
    DWORD length = 1040;
    if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    list.Add(WideString(name, static_cast<int>(length)), 0);
  }
}

bool DeleteRegistryTree(HKEY root, const WideString& parentPath, const WideString& subkeyName) {
  if (subkeyName.IsEmpty()) return false;
  WideString path = parentPath;
  AddBackslash(path);
  path.Append(subkeyName);
  StringList children;
  EnumerateSubkeys(root, path, children);
  for (int i = 0; i < children.Count(); ++i) DeleteRegistryTree(root, path, children.Item(i));
  ScopedRegistryKey parent = OpenExistingKey(root, parentPath, KEY_ALL_ACCESS);
  if (!parent) return false;
  // The view flag again, so the x86_64 build deletes in the 32-bit view too.
  return RegDeleteKeyExW(parent.Get(), subkeyName.W(), RegistryViewFlag(), 0) == ERROR_SUCCESS;
}

bool DeleteRegistryValue(HKEY root, const WideString& keyPath, const WideString& valueName) {
  ScopedRegistryKey key = OpenExistingKey(root, keyPath, KEY_SET_VALUE);
  if (!key) return false;
  return RegDeleteValueW(key.Get(), valueName.W()) == ERROR_SUCCESS;
}
