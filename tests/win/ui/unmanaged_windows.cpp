// Without a window manager on the test display, Wine waits up to two seconds
// for every managed top-level window it hides. The test prefix is private to
// one program, so its windows are made unmanaged before the display driver
// loads.
#include "util/win/windows_api.h"

namespace {

bool MakeWindowsUnmanaged() {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  const wchar_t value[] = L"N";
  RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
  RegCloseKey(key);
  return true;
}

const bool g_unmanaged = MakeWindowsUnmanaged();

}  // namespace
