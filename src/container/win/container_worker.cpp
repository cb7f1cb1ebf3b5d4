#include "container/win/container_worker.h"

#include <objbase.h>

#include <vector>

#include "app/install_state.h"
#include "app/options.h"
#include "app/outcome.h"
#include "container/win/bitness_inputs.h"
#include "container/win/container_messages.h"
#include "engine/win/program_runs.h"
#include "payload/win/payload_context.h"
#include "util/win/install_log.h"
#include "util/win/message_door.h"
#include "util/win/worker_thread.h"

namespace {

constexpr DWORD kRunsStopMs = 60000;

// What the thread that runs the inner installers needs.
struct InnerRuns {
  const std::vector<WideString>* members;
  WideString parameters;
  HWND owner;  // the progress window, or null
  ContainerRun* run;
  const NamedEvent* containerStop;
};

void RunInnerInstallers(NamedEvent& stopEvent, void* userValue) {
  InnerRuns& runs = *static_cast<InnerRuns*>(userValue);
  const HRESULT com = CoInitialize(nullptr);
  for (const WideString& member : *runs.members) {
    if (stopEvent.IsSignalled() || runs.containerStop->IsSignalled()) break;
    runs.run->progress.current.fetch_add(1);
    ProgramRunResult result;
    RunProgram(u"<TempInstall>\\" + member, runs.parameters, true, false, runs.owner, &result);
    InnerRun inner;
    inner.started = result.started;
    inner.exitCodeKnown = result.exitCodeKnown;
    inner.exitCode = result.exitCode;
    runs.run->tally.Add(inner);
    if (inner.exitCodeKnown && inner.exitCode == kExitRestartStarted) {
      // Windows is going down: the next installer would run into it.
      LogEvent(log_kind::kContainer, member + u" started a restart of Windows: no further installer is started");
      break;
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
}

// Serves this thread's messages, the progress window's keys included, until
// the thread ends.
void ServeWindowUntilEnded(HWND window, HANDLE thread) {
  for (;;) {
    const DWORD woken = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0) return;
    if (woken != WAIT_OBJECT_0 + 1) {
      WaitForSingleObject(thread, INFINITE);
      return;
    }
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // Nothing is left to serve; the runs still end as they would.
        WaitForSingleObject(thread, INFINITE);
        return;
      }
      if (window != nullptr && IsDialogMessageW(window, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

// The inner installers of the published payload that run, in directory
// order, and whether they get " --force32bit". The right Shift key, the
// command line, the Windows bitness and the script's 32-bit condition are
// read only when there are 64-bit variants.
std::vector<WideString> ChooseInnerInstallers(const ContainerRun& run, bool* passForce32Bit) {
  *passForce32Bit = false;
  std::vector<WideString> inner;
  PayloadContext* payload = PublishedPayload();
  if (payload == nullptr) return inner;
  const PayloadArchive& archive = payload->Archive();
  BitnessInputs inputs;
  for (int index = 0; index < archive.Count(); ++index) {
    const WideString name = archive.NameAt(index);
    if (!IsInnerInstallerName(name)) continue;
    inner.push_back(name);
    if (Is64BitVariantName(name)) inputs.has64BitVariants = true;
  }
  if (inputs.has64BitVariants) {
    inputs.force32BitAsked = HasForce32BitOption(run.commandLine) || RightShiftHeld();
    inputs.is64BitWindows = State().Is64BitWindows;
    inputs.conditionHolds = Force32BitConditionHolds(run.scriptPath);
  }
  const BitnessChoice choice = ChooseBitness(inputs);
  *passForce32Bit = choice.passForce32Bit;
  std::vector<WideString> chosen;
  WideString names;
  for (const WideString& name : inner) {
    if (!SelectedForRun(name, inputs.has64BitVariants, choice)) continue;
    chosen.push_back(name);
    names.Append(names.IsEmpty() ? name : u", " + name);
  }
  LogEvent(log_kind::kContainer, u"inner installers to run: " + (names.IsEmpty() ? WideString(u"none") : names));
  return chosen;
}

}  // namespace

void ContainerWorker(NamedEvent& stopEvent, void* userValue) {
  ContainerRun& run = *static_cast<ContainerRun*>(userValue);
  const bool silent = State().Silent;
  bool passForce32Bit = false;
  const std::vector<WideString> members = ChooseInnerInstallers(run, &passForce32Bit);
  run.progress.total.store(static_cast<int>(members.size()));
  if (members.empty()) {
    // Only 64-bit variants on 32-bit Windows (or with "--force32bit"), or
    // no inner installer at all: running nothing is no success.
    ShowMessage(nullptr, WideString(u"This package holds no installer that can run on this system."),
                State().InstallerTitle, MB_ICONERROR);
    run.tally.NothingToRun();
    return;
  }

  dlgContainerInstall window(run.progress);
  if (members.size() > 1) window.Create();

  if (!silent && !ShowContainerMessages(run.scriptPath, stopEvent)) {
    run.tally.AnsweredNo();
    return;
  }

  // Inner installers append to the container's log (they name themselves by
  // their process ids and roles).
  InnerRuns runs{&members, InnerParameters(passForce32Bit, silent) + LogParameter(InstallLogPath()), window.Window(),
                 &run, &stopEvent};
  // With a window, the installers run on a thread of their own while this
  // one keeps the window painted and its count current.
  WorkerThread runner;
  if (window.Window() != nullptr && runner.Start(RunInnerInstallers, &runs, kRunsStopMs)) {
    ServeWindowUntilEnded(window.Window(), runner.ThreadHandle());
  } else {
    RunInnerInstallers(stopEvent, &runs);
  }
}
