#include "container/win/container_install.h"

#include "app/install_state.h"
#include "container/win/container_worker.h"
#include "payload/win/payload_context.h"
#include "restart/win/rebooting_window.h"
#include "restart/win/restart_request.h"
#include "script/directives.h"
#include "script/win/read_line.h"
#include "util/win/disk_file.h"
#include "util/win/install_log.h"
#include "util/win/pump_messages.h"
#include "util/win/worker_thread.h"

namespace {

constexpr DWORD kWorkerStopMs = 60000;
constexpr DWORD kPumpSleepMs = 50;

// True when the script holds the line "[InstallContainer]".
bool IsContainerScript(const WideString& scriptPath) {
  DiskFile file;
  if (!file.Open(scriptPath, GENERIC_READ, OPEN_EXISTING, false)) return false;
  LineReader script(file, false);
  const WideString marker(Directive::InstallContainer);
  WideString line;
  while (script.Next(line)) {
    if (line == marker) return true;
  }
  return false;
}

}  // namespace

bool RunContainerIfAny(int* exitCode) {
  PayloadContext* payload = PublishedPayload();
  if (payload == nullptr) return false;
  ContainerRun run;
  run.scriptPath = payload->PayloadFolder() + u"setup.dat";
  if (!IsContainerScript(run.scriptPath)) return false;
  run.commandLine = State().CommandLine;
  SetInstallLogRole(u"container");

  WorkerThread worker;
  if (worker.Start(ContainerWorker, &run, kWorkerStopMs)) {
    bool quit = false;
    while (!worker.IsFinished()) {
      // A quit meant for this thread has nobody left to end: keep waiting.
      if (!quit) PumpMessages(quit);
      Sleep(kPumpSleepMs);
    }
    worker.Stop();
  } else {
    // Nothing could run: a failure, like an installer that did not start.
    run.tally.Add(InnerRun());
  }

  // The inner installers were told not to restart Windows: the restart one
  // of them needs is offered here, once, after every one has run (without
  // a window when silent; not at all with "--noautoreboot").
  InstallState& state = State();
  if (run.tally.AnyNeedsRestart() && !run.tally.AnyStartedRestart() && state.AutoReboot) {
    if (state.Silent) {
      RequestRestart();
    } else {
      dlgRebooting restart;
      restart.Run(false);
    }
  }
  *exitCode = run.tally.ExitCode(state.RestartRequested);
  return true;
}
