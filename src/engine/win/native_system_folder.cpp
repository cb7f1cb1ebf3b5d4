#include "engine/win/native_system_folder.h"

#include "app/install_state.h"
#include "engine/win/folder_macros.h"
#include "util/win/windows_api.h"

namespace {

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
#else
  (void)path;
#endif
}

NativeSystemFolderScope::~NativeSystemFolderScope() {
#ifndef _WIN64
  if (!active_) return;
  if (auto revert = Kernel32Function<RevertRedirection>("Wow64RevertWow64FsRedirection")) revert(previous_);
#endif
}

WideString RegistrationProgram() {
  WideString program(In32BitProcessOn64BitWindows() && State().Install64Bit ? u"<Windows>\\Sysnative\\regsvr32.exe"
                                                                            : u"<Windows>\\system32\\regsvr32.exe");
  ExpandFolderMacros(program);
  return program;
}
