#pragma once
// One gallery scene run: a real window of the system opened in a given state
// on the gallery's main thread, watched until it is ready for its picture,
// then closed when the script says it has taken it.
//
// The watch is a thread timer, so it runs inside whatever loop the scene's
// window uses: a modal dialog's own loop, or SceneRun::PumpUntilDone for a
// modeless window. When the scene is ready, the window's screen rectangle is
// written to the ready file as "WxH+X+Y"; when the done file appears, a modal
// dialog of the toolkit is ended (QuitModalLoop) and PumpUntilDone returns.

#include <functional>

#include "util/wide_string.h"
#include "util/win/windows_api.h"

class SceneRun {
 public:
  SceneRun(const WideString& readyFile, const WideString& doneFile);
  ~SceneRun();
  SceneRun(const SceneRun&) = delete;
  SceneRun& operator=(const SceneRun&) = delete;

  // The scene is ready once this is true (checked every 100 ms) and the
  // window has been visible for 1.5 s; by default at once. After 10 s the
  // picture is taken anyway.
  void ReadyWhen(std::function<bool()> condition) { readyWhen_ = std::move(condition); }
  // The window of the picture; by default the first visible top-level
  // window of this thread.
  void Picture(HWND window) { window_ = window; }

  // For modeless windows: serves the thread's messages until the done file
  // appears (or 60 s have passed).
  void PumpUntilDone();
  bool Done() const { return done_; }

 private:
  static void CALLBACK Watch(HWND, UINT, UINT_PTR, DWORD);
  void Check();
  HWND PictureWindow() const;
  void WriteReady(HWND window);

  WideString readyFile_;
  WideString doneFile_;
  std::function<bool()> readyWhen_;
  HWND window_ = nullptr;
  UINT_PTR timer_ = 0;
  DWORD started_ = 0;
  DWORD visibleSince_ = 0;
  bool readyWritten_ = false;
  bool done_ = false;
};
