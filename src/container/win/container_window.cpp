#include "container/win/container_window.h"

#include "resources/resource_ids.h"
#include "ui/win/text_font.h"

namespace {

constexpr UINT kFollowMs = 250;
constexpr COLORREF kBlack = 0x000000;

}  // namespace

WideString ContainerProgressLine(int current, int total) {
  return WideString::Format(u"Running Install %d of %d", current == 0 ? 1 : current, total);
}

dlgContainerInstall::dlgContainerInstall(const ContainerProgress& progress) : progress_(progress) {}

dlgContainerInstall::~dlgContainerInstall() { Close(); }

bool dlgContainerInstall::Create() {
  if (RunDialog(IDD_CONTAINER_INSTALL, nullptr, false) != 1 || !Window()) return false;
  ShowWindow(Window(), SW_SHOW);
  UpdateWindow(Window());
  return true;
}

void dlgContainerInstall::Close() {
  if (timer_ != 0) {
    RemoveTimer(timer_);
    timer_ = 0;
  }
  Unbind();
}

void dlgContainerInstall::OnCreate() {
  AttachFrame(u"Installer");
  {
    MutexGuard guard(Frame().PaintLock());
    DrawCentredText(Frame().Background().DC(), u"Processing Installers", 30, DluToPixelsY(35));
  }
  Follow();
  timer_ = AddTimer(kFollowMs);
}

void dlgContainerInstall::OnCancel() {
  if (timer_ != 0) {
    RemoveTimer(timer_);
    timer_ = 0;
  }
  CloseDialog(IDCANCEL);
}

void dlgContainerInstall::OnSize(int, int, int type) {
  // Nothing is drawn while minimised; a restored window catches up.
  if (type == SIZE_RESTORED) {
    PaintPage();
    Invalidate();
  }
  handled_ = false;
}

void dlgContainerInstall::OnTimer(UINT id, int) {
  if (id != timer_) {
    handled_ = false;
    return;
  }
  Follow();
}

void dlgContainerInstall::Follow() {
  const int current = progress_.current.load();
  const int total = progress_.total.load();
  if (current == drawnCurrent_ && total == drawnTotal_) return;
  drawnCurrent_ = current;
  drawnTotal_ = total;
  SetWindowTextW(Window(), total == 0 ? L"" : ContainerProgressLine(current, total).W());
  PaintPage();
  Invalidate();
}

void dlgContainerInstall::PaintPage() {
  if (Window() == nullptr || IsMinimised()) return;
  MutexGuard guard(Frame().PaintLock());
  StartPage();
  if (drawnTotal_ <= 0) return;
  HDC dc = Frame().Page().DC();
  const WideString line = ContainerProgressLine(drawnCurrent_, drawnTotal_);
  TextFont font;
  font.Create(nullptr, u"Tahoma", ScaleForDpi(20), kBlack);
  DrawLabel(dc, font, DluToPixelsX(25), (Height() - font.TextHeight(line, false, dc)) / 2, line);
}
