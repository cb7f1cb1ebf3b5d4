#include "engine/win/native_system_folder.h"

#include "app/install_state.h"
#include "util/win/windows_api.h"

namespace {

// Whether a scope of this thread has the redirection off: the system
// folder's name then names the real folder.
thread_local bool t_redirectionOff = false;

#ifndef _WIN64
using DisableRedirection = BOOL(WINAPI*)(PVOID*);
using RevertRedirection = BOOL(WINAPI*)(PVOID);

// Looked up at run time: Windows without WOW64 has neither.
template <typename Function>
Function Kernel32Function(const char* name) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  return reinterpret_cast<Function>(reinterpret_cast<void*>(kernel ? GetProcAddress(kernel, name) : nullptr));
}

bool In32BitProcessOn64BitWindows() { return State().Is64BitWindows; }
#else
bool In32BitProcessOn64BitWindows() { return false; }
#endif

WideString SystemFolderWithBackslash() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return WideString();
  WideString folder(buffer, static_cast<int>(length));
  if (!folder.EndsWith(WideString(u"\\"))) folder.Append(u"\\");
  return folder;
}

}  // namespace

bool WantsNativeSystemFolder(const WideString& path) {
  if (!In32BitProcessOn64BitWindows() || !State().Install64Bit) return false;
  const WideString folder = SystemFolderWithBackslash();
  if (folder.IsEmpty() || path.Length() < folder.Length()) return false;
  WideString head = path.Left(folder.Length());
  return head.Equals(folder, true);
}

NativeSystemFolderScope::NativeSystemFolderScope(const WideString& path) {
#ifndef _WIN64
  if (!WantsNativeSystemFolder(path)) return;
  auto disable = Kernel32Function<DisableRedirection>("Wow64DisableWow64FsRedirection");
  active_ = disable != nullptr && disable(&previous_);
  if (active_) {
    wasOff_ = t_redirectionOff;
    t_redirectionOff = true;
  }
#else
  (void)path;
#endif
}

NativeSystemFolderScope::~NativeSystemFolderScope() {
#ifndef _WIN64
  if (!active_) return;
  t_redirectionOff = wasOff_;
  if (auto revert = Kernel32Function<RevertRedirection>("Wow64RevertWow64FsRedirection")) revert(previous_);
#endif
}

WideString RegistrationProgram() {
  const bool alias = In32BitProcessOn64BitWindows() && State().Install64Bit && !t_redirectionOff;
  wchar_t windows[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  WideString program(windows, length < MAX_PATH ? static_cast<int>(length) : 0);
  if (!program.EndsWith(WideString(u"\\"))) program.Append(u"\\");
  program.Append(alias ? u"Sysnative\\regsvr32.exe" : u"system32\\regsvr32.exe");
  return program;
}
