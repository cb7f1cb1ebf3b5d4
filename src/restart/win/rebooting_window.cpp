#include "restart/win/rebooting_window.h"

#include "app/install_state.h"
#include "resources/resource_ids.h"
#include "restart/countdown.h"
#include "restart/win/restart_request.h"
#include "ui/win/dpi.h"
#include "ui/win/text_font.h"
#include "util/win/message_door.h"

namespace {

constexpr COLORREF kTextColour = 0x000000;
constexpr UINT kTickMs = 1000;

}  // namespace

dlgRebooting::dlgRebooting() = default;

dlgRebooting::~dlgRebooting() { Unbind(); }

bool dlgRebooting::Run(bool reRunLine) {
  reRunLine_ = reRunLine;
  restartStarted_ = false;
  restarting_ = false;
  // Silent with "--noautoreboot" nothing restarts, and nothing may say so.
  if (State().Silent) return RequestRestart();
  RunDialog(IDD_REBOOTING, nullptr, true);
  Unbind();
  return restartStarted_;
}

WideString dlgRebooting::CountdownText() {
  MutexGuard guard(Frame().PaintLock());
  return countdownText_;
}

void dlgRebooting::OnCreate() {
  // The title goes across the header emblem, which widens for it; a name
  // too long even for the widest emblem ends in "...".
  title_ = AttachFrame(State().ProjectName);
  icon_.Reset(LoadIconAtSize(IDI_RESTART, StatusIconSize()));
  ComposeStill();
  start_ = Now();
  ShowCountdown(kRestartCountdownSeconds);
  StartTimer();
}

void dlgRebooting::OnDestroy() {
  StopTimer();
  FramedDialog::OnDestroy();
}

void dlgRebooting::ComposeStill() {
  HWND window = Window();
  int width = Width();
  int height = Height();
  MutexGuard guard(Frame().PaintLock());
  if (!still_.Create(window, width, height)) return;
  HDC dc = still_.DC();
  Frame().Background().Blit(dc, 0, 0);

  TextFont font;
  int iconSize = IconHeight(icon_.Get());
  PaintIcon(icon_.Get(), dc, DluToPixelsX(25), (height - iconSize) / 2);

  int textX = DluToPixelsX(95);
  int headingY = DluToPixelsY(reRunLine_ ? 40 : 50);
  font.Create(nullptr, u"Tahoma", ScaleForDpi(24), kTextColour);
  font.DrawString(dc, textX, headingY, u"Restarting Windows");
  if (reRunLine_) {
    font.CreateWithWeight(nullptr, u"Tahoma", ScaleForDpi(20), kTextColour, 200);
    font.DrawString(dc, textX, headingY + DluToPixelsY(24), u"Re-run install after restart");
  }
  int countdownY = headingY + DluToPixelsY(reRunLine_ ? 44 : 25);
  strip_ = RECT{textX, countdownY, textX + DluToPixelsX(200), countdownY + DluToPixelsY(25)};
  still_.Blit(Frame().Page().DC(), 0, 0);
}

void dlgRebooting::ShowCountdown(int seconds) {
  WideString line = CountdownLine(seconds);
  {
    MutexGuard guard(Frame().PaintLock());
    countdownText_ = line;
    if (IsMinimised()) return;
    HDC page = Frame().Page().DC();
    int width = strip_.right - strip_.left;
    int height = strip_.bottom - strip_.top;
    still_.Blit(page, strip_.left, strip_.top, width, height, strip_.left, strip_.top);
    TextFont font;
    font.Create(nullptr, u"Tahoma", ScaleForDpi(20), kTextColour);
    font.DrawString(page, strip_.left, strip_.top, line);
  }
  InvalidateRect(Window(), &strip_, TRUE);
}

void dlgRebooting::StartTimer() {
  if (!timer_) timer_ = AddTimer(kTickMs);
}

void dlgRebooting::StopTimer() {
  if (timer_) RemoveTimer(timer_);
  timer_ = 0;
}

void dlgRebooting::Restart() {
  if (restarting_) return;
  restarting_ = true;
  StopTimer();
  ShowCountdown(0);
  // Ends this window's loop (the quit goes to this dialog only).
  restartStarted_ = RequestRestart();
}

void dlgRebooting::AskToCancel() {
  if (restarting_) return;
  StopTimer();
  int answer = ShowMessage(Window(), u"Cancel reboot?\r\n\r\nWindows will require restarting to finalize install.",
                           State().ProjectName, MB_YESNO | MB_ICONQUESTION);
  if (answer == IDYES) {
    CloseDialog(0);
    return;
  }
  // The start time stays: the time the question was open counts, and the
  // next tick after 40 whole seconds restarts at once.
  StartTimer();
}

void dlgRebooting::OnCommand(int id, HWND, int code) {
  if (code != BN_CLICKED) return;
  if (id == IDC_REBOOT_NOW) Restart();
  if (id == IDC_CANCEL_REBOOT) AskToCancel();
}

void dlgRebooting::OnTimer(UINT id, int) {
  if (id != timer_ || restarting_) return;
  int left = CountdownSecondsLeft(Now() - start_);
  if (left >= 0) {
    ShowCountdown(left);
    return;
  }
  Restart();
}
