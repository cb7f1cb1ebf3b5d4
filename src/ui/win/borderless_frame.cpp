#include "ui/win/borderless_frame.h"

#include <algorithm>

#include "ui/win/dpi.h"
#include "ui/win/gradient.h"
#include "ui/win/xwindow.h"

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBand = 0xF5F5F5;
// Outside the rounded corners (radius 20 px) nothing is seen.
constexpr int kCornerMargin = 20;

int TitlePad() { return ScaleForDpi(12); }

// Artwork is any pixel of the tab darker than its light fill; black is
// outside the tab in the colour bitmap.
bool IsArtwork(COLORREF colour) {
  if (colour == 0) return false;
  return GetRValue(colour) < 0xB0 || GetGValue(colour) < 0xB0 || GetBValue(colour) < 0xB0;
}

}  // namespace

bool HeaderEmblem::Load(int maskId, int colourId) {
  if (maskId <= 0) maskId = PickByScale(108, 110, 130, 109);
  if (colourId <= 0) colourId = PickByScale(105, 107, 128, 106);
  columns_.clear();
  if (!LoadBitmapResource(maskId, mask_) || !LoadBitmapResource(colourId, colour_)) return false;
  int width = colour_.Width();
  int height = colour_.Height();
  std::vector<COLORREF> pixels(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels[static_cast<size_t>(y) * width + x] = GetPixel(colour_.DC(), x, y);
  auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; };
  auto same = [&](int a, int b) {
    for (int y = 0; y < height; ++y)
      if (at(a, y) != at(b, y)) return false;
    return true;
  };
  columns_.assign(static_cast<size_t>(width), EmblemColumn::Plain);
  for (int x = 0; x < width; ++x) {
    bool artwork = false;
    for (int y = 0; y < height && !artwork; ++y) artwork = IsArtwork(at(x, y));
    if (artwork)
      columns_[static_cast<size_t>(x)] = EmblemColumn::Artwork;
    else if (x > 0 && x + 1 < width && same(x - 1, x) && same(x, x + 1))
      columns_[static_cast<size_t>(x)] = EmblemColumn::Repeatable;
  }
  return true;
}

int HeaderEmblem::TitleRoom(int windowWidth) const {
  return ::EmblemTitleRoom(columns_, windowWidth - 2 * kCornerMargin, TitlePad());
}

void HeaderEmblem::Draw(HDC dc, int windowWidth, int titleWidth) const {
  if (!colour_.IsValid() || !mask_.IsValid()) return;
  int width = colour_.Width();
  int height = colour_.Height();
  EmblemStretch stretch;
  if (titleWidth > 0) stretch = PlanEmblemStretch(columns_, titleWidth, TitlePad());
  stretch.extra = std::max(0, std::min(stretch.extra, windowWidth - 2 * kCornerMargin - width));
  int x0 = (windowWidth - width - stretch.extra) / 2;
  for (const OffscreenBitmap* image : {&mask_, &colour_}) {
    DWORD rop = image == &mask_ ? SRCAND : SRCPAINT;
    if (stretch.extra == 0) {
      image->Blit(dc, x0, 0, -1, -1, 0, 0, rop);
      continue;
    }
    int split = stretch.column + 1;
    image->Blit(dc, x0, 0, split, height, 0, 0, rop);
    int previousMode = SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, x0 + split, 0, stretch.extra, height, image->DC(), stretch.column, 0, 1, height, rop);
    SetStretchBltMode(dc, previousMode);
    image->Blit(dc, x0 + split + stretch.extra, 0, width - split, height, split, 0, rop);
  }
}

int EmblemTitleRoom(int windowWidth) {
  HeaderEmblem emblem;
  if (!emblem.Load()) return windowWidth - 2 * kCornerMargin;
  return emblem.TitleRoom(windowWidth);
}

void PaintFramedBackground(HDC dc, int width, int height, int maskId, int colourId, int titleWidth) {
  if (!dc || width <= 0 || height <= 0) return;
  RECT all{0, 0, width, height};
  SolidBrush white(kWhite);
  FillRect(dc, &all, white.Get());
  RECT top{0, 0, width, height / 3};
  FillGradient(dc, top, kBand, kBand, kWhite, kWhite);
  RECT bottom{0, height - height / 3, width, height};
  FillGradient(dc, bottom, kWhite, kWhite, kBand, kBand);
  HeaderEmblem emblem;
  if (emblem.Load(maskId, colourId)) emblem.Draw(dc, width, titleWidth);
}

BorderlessFrame::BorderlessFrame() { paintLock_.Create(); }

bool BorderlessFrame::Attach(XWindow& window, int titleWidth) {
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
  PaintFramedBackground(background_.DC(), width, height, 0, 0, titleWidth);
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
