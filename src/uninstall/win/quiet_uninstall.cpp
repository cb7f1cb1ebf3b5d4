#include "uninstall/win/quiet_uninstall.h"

#include "app/install_state.h"
#include "restart/win/rebooting_window.h"
#include "uninstall/win/uninstall_worker.h"
#include "util/win/sync.h"

void RunQuietUninstall(bool sayOnReboot) {
  InstallState& state = State();
  // The engine never looks at its stop event; nothing stops it here.
  NamedEvent stop;
  stop.Create(WideString());
  UninstallWorker(stop, nullptr);
  if (!state.UninstallRebootRequired) return;
  dlgRebooting restart;
  if (restart.Run(sayOnReboot)) state.RebootEvent.Set();
}
