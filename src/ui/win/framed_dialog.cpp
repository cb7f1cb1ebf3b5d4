#include "ui/win/framed_dialog.h"

#include "resources/resource_ids.h"
#include "ui/win/dpi.h"
#include "ui/win/text_font.h"

void FramedDialog::_CmdClose::OnClick(int) { owner_.OnCloseButton(); }

FramedDialog::FramedDialog() : close_(*this) {}

FramedDialog::~FramedDialog() {
  StopButtons();
  Unbind();
}

void FramedDialog::OnCloseButton() { closeRequested_ = true; }

WideString FramedDialog::AttachFrame(const WideString& title) {
  TextFont font;
  font.Create(nullptr, u"Tahoma", ScaleForDpi(21), 0x000000);
  ScreenDC screen;
  const WideString shown = font.FitWithEllipsis(EmblemTitleRoom(Width()), title, screen.Get());
  frame_.Attach(*this, font.TextWidth(shown, false, -1, screen.Get()));
  MutexGuard guard(frame_.PaintLock());
  DrawCentredText(frame_.Background().DC(), shown, 21, 2);
  frame_.StartPage();
  return shown;
}

void FramedDialog::StartPage() {
  MutexGuard guard(frame_.PaintLock());
  frame_.StartPage();
  std::vector<DrawnText> kept;
  for (const DrawnText& text : texts_) {
    if (!text.onPage) kept.push_back(text);
  }
  texts_.swap(kept);
}

void FramedDialog::DrawLabel(HDC dc, TextFont& font, int x, int y, const WideString& text) {
  MutexGuard guard(frame_.PaintLock());
  font.DrawString(dc, x, y, text);
  const RECT box{x, y, x + font.TextWidth(text, false, -1, dc), y + font.TextHeight(text, false, dc)};
  texts_.push_back(DrawnText{text, box, font.Height(), dc == frame_.Page().DC()});
}

void FramedDialog::DrawCentredText(HDC dc, const WideString& text, int height, int y) {
  TextFont font;
  font.Create(nullptr, u"Tahoma", ScaleForDpi(height), 0x000000);
  DrawLabel(dc, font, (Width() - font.TextWidth(text, false, -1, dc)) / 2, y, text);
}

void FramedDialog::DrawStatusIcon(HDC dc, int iconId, int x, int mid) {
  const int size = StatusIconSize();
  HICON icon = LoadIconAtSize(iconId, size);
  if (icon == nullptr) return;
  DrawIconEx(dc, x, mid - size / 2, icon, size, size, 0, nullptr, DI_NORMAL);
  DestroyIcon(icon);
}

void FramedDialog::DrawResult(HDC dc, int iconId, int mid, const WideString& first, const WideString& second) {
  DrawStatusIcon(dc, iconId, DluToPixelsX(25), mid);
  TextFont font;
  font.Create(nullptr, u"Tahoma", ScaleForDpi(18), 0x000000);
  // The gap is 4 dialog units taken horizontally, as the layout was drawn.
  const int gap = DluToPixelsX(4);
  DrawLabel(dc, font, DluToPixelsX(85), mid - font.TextHeight(u"Ay", false, dc) - gap, first);
  DrawLabel(dc, font, DluToPixelsX(85), mid + gap, second);
}

std::vector<DrawnText> FramedDialog::DrawnTexts() {
  MutexGuard guard(frame_.PaintLock());
  return texts_;
}

bool FramedDialog::AddCloseButton() {
  buttons_.Start(Window());
  const int stripId = PickByScale(IDB_CLOSE_100, IDB_CLOSE_150, IDB_CLOSE_200, IDB_CLOSE_125);
  OffscreenBitmap strip;
  LoadBitmapResource(stripId, strip);
  ButtonRecord record;
  record.x = Width() - DluToPixelsX(10) - strip.Width() / 4 - 2;
  record.y = 1;
  record.toolTipText = u"Close";
  record.background = &frame_.Background();
  return buttons_.Add(close_, record, stripId, Window());
}

void FramedDialog::StopButtons() { buttons_.Stop(); }

void FramedDialog::OnDestroy() {
  StopButtons();
  handled_ = false;
}

void FramedDialog::OnEraseBackground(HDC dc) { frame_.Erase(dc); }

HBRUSH FramedDialog::OnCtlColorStatic(HDC, HWND) { return frame_.Brush(); }

HBRUSH FramedDialog::OnCtlColorDialog(HDC) { return frame_.Brush(); }

void FramedDialog::OnMouseDown(int, int, UINT, WPARAM) { frame_.MouseDown(Window()); }

void FramedDialog::OnMouseMove(int, int, WPARAM) { frame_.MouseMove(*this); }

void FramedDialog::OnMouseUp(int, int, UINT, WPARAM) { frame_.MouseUp(); }

LRESULT FramedDialog::PreDispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  return buttons_.Filter(window, message, wParam, lParam, handled);
}
