#include "unix_link.h"

#include <string>

#include "util/win/scoped_handle.h"
#include "util/win/windows_api.h"

namespace {

using UnixNameCall = char*(CDECL*)(LPCWSTR);

std::string UnixName(const WideString& path) {
  const auto call = reinterpret_cast<UnixNameCall>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (call == nullptr) return std::string();
  char* name = call(path.W());
  if (name == nullptr) return std::string();
  std::string text(name);
  HeapFree(GetProcessHeap(), 0, name);
  return text;
}

}  // namespace

bool StartUnixLn(const std::string& unixTarget, const std::string& unixLink) {
  const WideString command = u"Z:\\bin\\ln -sfn \"" + WideString::FromUtf8(unixTarget.c_str()) + u"\" \"" +
                             WideString::FromUtf8(unixLink.c_str()) + u"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION created{};
  if (!CreateProcessW(nullptr, const_cast<wchar_t*>(command.W()), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &created)) {
    return false;
  }
  ScopedKernelHandle thread(created.hThread);
  ScopedKernelHandle process(created.hProcess);
  return true;
}

bool MakeUnixLink(const WideString& link, const WideString& target) {
  const std::string from = UnixName(link), to = UnixName(target);
  if (from.empty() || to.empty() || !StartUnixLn(to, from)) return false;
  // A Unix program gives no handle to wait on: wait for the link instead.
  for (int waited = 0; waited < 10000; waited += 20) {
    const DWORD attributes = GetFileAttributesW(link.W());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return true;
    if (attributes != INVALID_FILE_ATTRIBUTES && GetFileAttributesW(target.W()) == attributes) return true;
    Sleep(20);
  }
  return false;
}
