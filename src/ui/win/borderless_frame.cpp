#include "ui/win/borderless_frame.h"

#include "ui/win/dpi.h"
#include "ui/win/gradient.h"
#include "ui/win/xwindow.h"

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBand = 0xF5F5F5;

void DrawEmblemPart(HDC dc, int id, int width, DWORD rop) {
  OffscreenBitmap image;
  if (!LoadBitmapResource(id, image)) return;
  image.Blit(dc, (width - image.Width()) / 2, 0, -1, -1, 0, 0, rop);
}

}  // namespace

void PaintFramedBackground(HDC dc, int width, int height, int maskId, int colourId) {
  if (!dc || width <= 0 || height <= 0) return;
  RECT all{0, 0, width, height};
  SolidBrush white(kWhite);
  FillRect(dc, &all, white.Get());
  RECT top{0, 0, width, height / 3};
  FillGradient(dc, top, kBand, kBand, kWhite, kWhite);
  RECT bottom{0, height - height / 3, width, height};
  FillGradient(dc, bottom, kWhite, kWhite, kBand, kBand);
  if (maskId <= 0) maskId = PickByScale(108, 110, 130, 109);
  if (colourId <= 0) colourId = PickByScale(105, 107, 128, 106);
  DrawEmblemPart(dc, maskId, width, SRCAND);
  DrawEmblemPart(dc, colourId, width, SRCPAINT);
}

BorderlessFrame::BorderlessFrame() { paintLock_.Create(); }

bool BorderlessFrame::Attach(XWindow& window) {
  HWND handle = window.Window();
  if (!handle) return false;
  SetClassLongPtrW(handle, GCL_STYLE, GetClassLongPtrW(handle, GCL_STYLE) | CS_DROPSHADOW);
  brush_.Create(kWhite);
  int width = window.Width();
  int height = window.Height();
  // The window owns the region once SetWindowRgn succeeds.
  HRGN region = CreateRoundRectRgn(0, 0, width, height, 40, 40);
  if (region && !SetWindowRgn(handle, region, TRUE)) DeleteObject(region);
  MutexGuard guard(paintLock_);
  if (!background_.Create(handle, width, height) || !page_.Create(handle, width, height)) return false;
  PaintFramedBackground(background_.DC(), width, height);
  background_.Blit(page_.DC(), 0, 0);
  return true;
}

void BorderlessFrame::StartPage() {
  MutexGuard guard(paintLock_);
  background_.Blit(page_.DC(), 0, 0);
}

void BorderlessFrame::Erase(HDC dc) {
  MutexGuard guard(paintLock_);
  page_.Blit(dc, 0, 0);
}

void BorderlessFrame::MouseDown(HWND window) {
  SetCapture(window);
  GetCursorPos(&last_);
  dragging_ = true;
}

void BorderlessFrame::MouseMove(XWindow& window) {
  if (!dragging_) return;
  POINT now;
  GetCursorPos(&now);
  if (now.x == last_.x && now.y == last_.y) return;
  RECT rect = window.WindowRect();
  window.MoveTo(rect.left + now.x - last_.x, rect.top + now.y - last_.y);
  last_ = now;
}

void BorderlessFrame::MouseUp() {
  ReleaseCapture();
  dragging_ = false;
}
