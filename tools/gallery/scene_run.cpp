#include "scene_run.h"

#include <string>

#include "ui/win/modal_loop.h"

namespace {

SceneRun* g_current = nullptr;  // the timer procedure's run; one per process

constexpr DWORD kSettleMs = 1500;
constexpr DWORD kReadyAnywayMs = 10000;
constexpr DWORD kGiveUpMs = 60000;

}  // namespace

SceneRun::SceneRun(const WideString& readyFile, const WideString& doneFile)
    : readyFile_(readyFile), doneFile_(doneFile) {
  g_current = this;
  started_ = GetTickCount();
  timer_ = SetTimer(nullptr, 0, 100, &SceneRun::Watch);
}

SceneRun::~SceneRun() {
  if (timer_) KillTimer(nullptr, timer_);
  g_current = nullptr;
}

void CALLBACK SceneRun::Watch(HWND, UINT, UINT_PTR, DWORD) {
  if (g_current) g_current->Check();
}

namespace {

BOOL CALLBACK FirstVisibleTopWindow(HWND window, LPARAM context) {
  if (!IsWindowVisible(window) || GetWindow(window, GW_OWNER)) return TRUE;
  *reinterpret_cast<HWND*>(context) = window;
  return FALSE;
}

}  // namespace

HWND SceneRun::PictureWindow() const {
  if (window_) return window_;
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &FirstVisibleTopWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

void SceneRun::WriteReady(HWND window) {
  RECT rect{0, 0, 0, 0};
  GetWindowRect(window, &rect);
  WideString text = WideString::Format(u"%dx%d+%d+%d", static_cast<int>(rect.right - rect.left),
                                       static_cast<int>(rect.bottom - rect.top), static_cast<int>(rect.left),
                                       static_cast<int>(rect.top));
  std::string bytes = text.ToUtf8();
  HANDLE out = CreateFileW(readyFile_.W(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(out);
}

void SceneRun::Check() {
  DWORD now = GetTickCount();
  if (!readyWritten_) {
    HWND window = PictureWindow();
    if (!window || !IsWindowVisible(window)) {
      visibleSince_ = 0;
    } else {
      if (!visibleSince_) visibleSince_ = now;
      bool settled = now - visibleSince_ >= kSettleMs;
      bool ready = !readyWhen_ || readyWhen_();
      if ((settled && ready) || now - started_ > kReadyAnywayMs) {
        WriteReady(window);
        readyWritten_ = true;
      }
    }
  }
  bool doneFileThere = GetFileAttributesW(doneFile_.W()) != INVALID_FILE_ATTRIBUTES;
  if ((readyWritten_ && doneFileThere) || now - started_ > kGiveUpMs) {
    if (done_) return;
    done_ = true;
    QuitModalLoop(0);
  }
}

void SceneRun::PumpUntilDone() {
  while (!done_) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}
