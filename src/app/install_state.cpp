#include "app/install_state.h"

namespace {

// The 64-bit build is its own proof that Windows is 64-bit; the 32-bit build
// asks IsWow64Process, looked up at run time since old kernels lack it.
bool RunningOn64BitWindows() {
#ifdef _WIN64
  return true;
#else
  using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
  HMODULE kernel = GetModuleHandleW(L"kernel32");
  auto isWow64 = reinterpret_cast<IsWow64ProcessFunction>(
      reinterpret_cast<void*>(kernel ? GetProcAddress(kernel, "IsWow64Process") : nullptr));
  BOOL wow64 = FALSE;
  return isWow64 != nullptr && isWow64(GetCurrentProcess(), &wow64) && wow64;
#endif
}

InstallState* Create() {
  auto* state = new InstallState();
  state->Is64BitWindows = RunningOn64BitWindows();
  state->ProgressLock.Create();
  state->RebootEvent.Create(WideString(u"evtReRunInstallAsUninstallReboot"));
  return state;
}

InstallState*& Instance() {
  static InstallState* state = Create();
  return state;
}

}  // namespace

InstallState& State() { return *Instance(); }

void ResetInstallState() {
  InstallState*& state = Instance();
  delete state;
  state = Create();
}
