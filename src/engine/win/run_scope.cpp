#include "engine/win/run_scope.h"

#include "util/win/windows_api.h"
// windows_api.h first
#include <sddl.h>
#include <shlobj.h>

#include "app/install_state.h"
#include "rollback/win/run_journal.h"
#include "util/path_text.h"
#include "util/win/install_log.h"
#include "util/win/safe_files.h"
#include "util/win/scoped_handle.h"

namespace {

// {5CD7AEE2-2219-4A67-B85D-6C9CE15660CB}
const GUID kUserProgramFiles = {0x5cd7aee2, 0x2219, 0x4a67, {0xb8, 0x5d, 0x6c, 0x9c, 0xe1, 0x56, 0x60, 0xcb}};

// The known folder, when this Windows has the call (Vista and later) and
// knows the folder.
WideString KnownFolder(const GUID& id) {
  using Call = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, PWSTR*);
  HMODULE shell = GetModuleHandleW(L"shell32.dll");
  auto call = reinterpret_cast<Call>(
      reinterpret_cast<void*>(shell != nullptr ? GetProcAddress(shell, "SHGetKnownFolderPath") : nullptr));
  if (call == nullptr) return WideString();
  PWSTR path = nullptr;
  WideString folder;
  if (SUCCEEDED(call(id, 0, nullptr, &path)) && path != nullptr) folder = WideString(path);
  CoTaskMemFree(path);
  return folder;
}

WideString LocalAppDataFolder() {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) return WideString();
  WideString folder(path);
  if (!folder.IsEmpty()) AddBackslash(folder);
  return folder;
}

}  // namespace

void EnterRunScope(RunScope scope) {
  State().Scope = scope;
  const bool perUser = scope == RunScope::User;
  SetPerUserRun(perUser);
  SetRunClaimOwner(perUser ? CurrentUserSid() : WideString());
}

bool PerUserRun() { return State().Scope == RunScope::User; }

HKEY ProductRegistryRoot() { return PerUserRun() ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

WideString UserProgramsFolder() {
  WideString folder = KnownFolder(kUserProgramFiles);
  if (folder.IsEmpty()) {
    folder = LocalAppDataFolder();
    if (folder.IsEmpty()) return folder;
    folder.Append(u"Programs");
  }
  AddBackslash(folder);
  return folder;
}

WideString UserUninstallFolder() {
  WideString folder = LocalAppDataFolder();
  if (!folder.IsEmpty()) folder.Append(u"PloveUninstall\\");
  return folder;
}

WideString CurrentUserSid() {
  ScopedKernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return WideString();
  alignas(8) unsigned char buffer[256] = {};
  DWORD size = 0;
  if (!GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &size)) return WideString();
  LPWSTR text = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) return WideString();
  WideString sid(text);
  LocalFree(text);
  return sid;
}

void LogSkippedForUser(const WideString& what, const WideString& why) {
  LogEvent(log_kind::kSkipped, what + u" (an install for the current user alone: " + why + u")");
}
