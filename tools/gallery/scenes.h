#pragma once
// The gallery's scenes: each opens one real window of the system in a given
// state on the calling thread and returns once the window has closed. The
// picture of scene NAME at D DPI is NAME-D.png.
//
// To add a scene: write its open function (a modal window simply runs; a
// modeless one is created and then served with run.PumpUntilDone()), declare
// it here and add a row to the table in scenes.cpp; link the window's
// library to the gallery in CMakeLists.txt. SceneRun::ReadyWhen holds the
// picture back until the window shows what it should.

#include <cstddef>

#include "scene_run.h"

struct Scene {
  const char* name;
  void (*open)(SceneRun& run);
};

// Every scene, in the order of the pictures; count in sceneCount.
const Scene* Scenes(size_t& sceneCount);

void OpenToolkitScene(SceneRun& run);
void OpenRestartScene(SceneRun& run);
void OpenRestartReRunScene(SceneRun& run);
void OpenFocusScene(SceneRun& run);
void OpenWizardReadyScene(SceneRun& run);
void OpenWizardScopeScene(SceneRun& run);
void OpenWizardInstallingScene(SceneRun& run);
void OpenWizardFinishedScene(SceneRun& run);
void OpenWizardFailedScene(SceneRun& run);
void OpenLicenceScene(SceneRun& run);
void OpenUninstallReadyScene(SceneRun& run);
void OpenUninstallCompletedScene(SceneRun& run);
void OpenUninstallFailedScene(SceneRun& run);
void OpenContainerScene(SceneRun& run);
