// The gallery: real windows of the system drawn with the real resources,
// one scene per run, for screenshots at several display scales
// (scripts/gallery.sh).
//
//   gallery.exe --list OUT_FILE           writes the scene names, one a line
//   gallery.exe SCENE READY_FILE DONE_FILE
// The second form opens the scene's window, writes its screen rectangle
// ("WxH+X+Y") to READY_FILE once it is ready for its picture, and closes it
// when DONE_FILE appears (or after 60 s).

#include "util/win/windows_api.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "app/install_state.h"
#include "restart/win/restart_request.h"
#include "scenes.h"

namespace {

void IgnoreRestart(void*) {}

int WriteSceneList(const WideString& path) {
  size_t count = 0;
  const Scene* scenes = Scenes(count);
  std::string text;
  for (size_t i = 0; i < count; ++i) text += std::string(scenes[i].name) + "\n";
  HANDLE out = CreateFileW(path.W(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(out);
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!arguments || count < 3) return 2;
  WideString first(arguments[1]), second(arguments[2]), third(count > 3 ? arguments[3] : L"");
  LocalFree(arguments);
  if (first == WideString(u"--list")) return WriteSceneList(second);

  size_t sceneCount = 0;
  const Scene* scenes = Scenes(sceneCount);
  const Scene* scene = nullptr;
  for (size_t i = 0; i < sceneCount; ++i) {
    if (first == WideString::FromUtf8(scenes[i].name)) scene = &scenes[i];
  }
  if (!scene || third.IsEmpty()) return 2;

  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_LINK_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  State().ProjectName = u"Gallery Tool";
  SetRestartRequestObserverForTesting(&IgnoreRestart, nullptr);
  SceneRun run(second, third);
  scene->open(run);
  return 0;
}
