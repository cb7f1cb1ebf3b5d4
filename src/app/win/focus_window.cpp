#include "app/win/focus_window.h"

#include "resources/resource_ids.h"

dlgNonElevateWndWithFocus::~dlgNonElevateWndWithFocus() { Unbind(); }

bool dlgNonElevateWndWithFocus::Create() {
  if (RunDialog(IDD_ELEVATION_FOCUS, nullptr, false) != 1 || !Window()) return false;
  ShowWindow(Window(), SW_SHOW);
  UpdateWindow(Window());
  return true;
}

void dlgNonElevateWndWithFocus::Hide() {
  if (Window()) ShowWindow(Window(), SW_HIDE);
}

void dlgNonElevateWndWithFocus::OnCreate() {
  AttachFrame(u"Installer");
  MutexGuard guard(Frame().PaintLock());
  DrawCentredText(Frame().Page().DC(), u"Processing Installer", 30, DluToPixelsY(35));
}
