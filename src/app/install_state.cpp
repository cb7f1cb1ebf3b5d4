#include "app/install_state.h"

namespace {

InstallState* Create() {
  auto* state = new InstallState();
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
