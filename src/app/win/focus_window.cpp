#include "app/win/focus_window.h"

#include "resources/resource_ids.h"
#include "ui/win/text_font.h"

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

namespace {

const WideString kTitle(u"Installer");
const WideString kProcessing(u"Processing Installer");

}  // namespace

void dlgNonElevateWndWithFocus::OnCreate() {
  TextFont font;
  font.Create(nullptr, u"Tahoma", ScaleForDpi(21), 0x000000);
  ScreenDC screen;
  frame_.Attach(*this, font.TextWidth(kTitle, false, -1, screen.Get()));
  PaintTexts();
}

void dlgNonElevateWndWithFocus::PaintTexts() {
  MutexGuard guard(frame_.PaintLock());
  HDC dc = frame_.Page().DC();
  if (!dc) return;
  int width = Width();
  TextFont font;
  auto centred = [&](const WideString& text, int size, int y) {
    font.Create(nullptr, u"Tahoma", ScaleForDpi(size), 0x000000);
    font.DrawString(dc, (width - font.TextWidth(text, false, -1, dc)) / 2, y, text);
  };
  centred(kTitle, 21, ScaleForDpi(2));
  centred(kProcessing, 30, DluToPixelsY(35));
}

void dlgNonElevateWndWithFocus::OnEraseBackground(HDC dc) { frame_.Erase(dc); }
HBRUSH dlgNonElevateWndWithFocus::OnCtlColorStatic(HDC, HWND) { return frame_.Brush(); }
HBRUSH dlgNonElevateWndWithFocus::OnCtlColorDialog(HDC) { return frame_.Brush(); }
void dlgNonElevateWndWithFocus::OnMouseDown(int, int, UINT, WPARAM) { frame_.MouseDown(Window()); }
void dlgNonElevateWndWithFocus::OnMouseMove(int, int, WPARAM) { frame_.MouseMove(*this); }
void dlgNonElevateWndWithFocus::OnMouseUp(int, int, UINT, WPARAM) { frame_.MouseUp(); }
