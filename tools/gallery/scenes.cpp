#include "scenes.h"

#include "app/win/focus_window.h"
#include "container/win/container_window.h"
#include "restart/win/rebooting_window.h"

namespace {

const Scene kScenes[] = {
    {"gallery", &OpenToolkitScene},            // the toolkit's controls
    {"restart", &OpenRestartScene},            // restart window, countdown running
    {"restart-rerun", &OpenRestartReRunScene}, // the same with "Re-run install after restart"
    {"focus", &OpenFocusScene},                // elevation focus window
    {"wizard-ready", &OpenWizardReadyScene},            // install wizard: Ready page with the licence link
    {"wizard-scope", &OpenWizardScopeScene},            // Ready page of a script that lets the person choose
    {"wizard-installing", &OpenWizardInstallingScene},  // Installing page, half way
    {"wizard-finished", &OpenWizardFinishedScene},      // Finished page with restart, shortcut and run rows
    {"wizard-failed", &OpenWizardFailedScene},          // Finished page of a failed install
    {"licence", &OpenLicenceScene},                     // licence window
    {"uninstall-ready", &OpenUninstallReadyScene},      // uninstall window, confirmation
    {"uninstall-completed", &OpenUninstallCompletedScene},  // completed page with the restart row
    {"uninstall-failed", &OpenUninstallFailedScene},        // last page when nothing could be removed
    {"container", &OpenContainerScene},        // container progress, second of three installers
};

}  // namespace

const Scene* Scenes(size_t& sceneCount) {
  sceneCount = sizeof kScenes / sizeof kScenes[0];
  return kScenes;
}

// The countdown runs on the real clock; the gallery's restart observer keeps
// Windows from being asked should it ever run out.
void OpenRestartScene(SceneRun&) {
  dlgRebooting window;
  window.Run(false);
}

void OpenRestartReRunScene(SceneRun&) {
  dlgRebooting window;
  window.Run(true);
}

void OpenFocusScene(SceneRun& run) {
  dlgNonElevateWndWithFocus window;
  if (!window.Create()) return;
  run.Picture(window.Window());
  run.PumpUntilDone();
}

void OpenContainerScene(SceneRun& run) {
  ContainerProgress progress;
  progress.current = 2;
  progress.total = 3;
  dlgContainerInstall window(progress);
  if (!window.Create()) return;
  run.Picture(window.Window());
  run.PumpUntilDone();
}
