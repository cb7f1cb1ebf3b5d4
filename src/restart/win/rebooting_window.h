#pragma once
// dlgRebooting: the restart window. A borderless window (dialog 126) with
// the project's name, the restart icon, "Restarting Windows", optionally
// "Re-run install after restart", and a countdown line that counts 40
// seconds down once a second and then restarts Windows. "Reboot Now"
// restarts at once; "Cancel Reboot" asks, and closes the window without a
// restart on Yes or counts on after No (the time the question was open
// counts too). The window can be dragged by its surface.

#include "ui/win/framed_dialog.h"
#include "ui/win/gdi_objects.h"
#include "util/wide_string.h"

class dlgRebooting : public FramedDialog {
 public:
  using Clock = DWORD (*)();

  dlgRebooting();
  ~dlgRebooting() override;

  // Runs on the calling thread. Without State().Silent it shows the window
  // modally, without owner, until a restart has been requested or the user
  // cancelled, and returns whether a restart was requested. With Silent no
  // window opens: the restart is requested at once, and the result is false
  // when "--noautoreboot" keeps Windows from being asked.
  bool Run(bool reRunLine);

  // The tick source of the countdown, GetTickCount when null (the default);
  // tests drive time with their own.
  void SetClock(Clock clock) { clock_ = clock; }
  // The countdown line as last drawn (any thread).
  WideString CountdownText();
  // The countdown timer's id; 0 while it is stopped.
  UINT CountdownTimer() const { return timer_; }
  // Where the countdown line is drawn, in client pixels.
  RECT CountdownStrip() const { return strip_; }

  void OnCreate() override;
  void OnDestroy() override;
  void OnCommand(int id, HWND control, int code) override;
  void OnTimer(UINT id, int userValue) override;

 private:
  // Background, title, icon and the fixed texts, into still_ and the page.
  void ComposeStill();
  // The countdown line for seconds (0: "Rebooting now..."), repainting only
  // its strip.
  void ShowCountdown(int seconds);
  void StartTimer();
  void StopTimer();
  // Shows 0, requests the restart and notes that it was requested; once.
  void Restart();
  void AskToCancel();
  DWORD Now() const { return clock_ ? clock_() : GetTickCount(); }

  OffscreenBitmap still_;  // the page without the countdown line
  ScopedIcon icon_;
  Clock clock_ = nullptr;
  bool reRunLine_ = false;
  bool restartStarted_ = false;
  bool restarting_ = false;
  DWORD start_ = 0;
  volatile UINT timer_ = 0;
  RECT strip_{0, 0, 0, 0};
  WideString title_;  // the project's name as it fits the header
  WideString countdownText_;
};
