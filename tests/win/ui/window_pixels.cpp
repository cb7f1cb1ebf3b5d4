#include "window_pixels.h"

namespace {

bool IsDark(COLORREF colour) {
  return GetRValue(colour) < 0x80 && GetGValue(colour) < 0x80 && GetBValue(colour) < 0x80;
}

}  // namespace

WindowPixels::WindowPixels(HWND window, const RECT& area)
    : width_(area.right - area.left), height_(area.bottom - area.top) {
  if (width_ <= 0 || height_ <= 0) {
    width_ = height_ = 0;
    return;
  }
  HDC source = GetDC(window);
  HDC memory = CreateCompatibleDC(source);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width_, height_, source, area.left, area.top, SRCCOPY);
  GdiFlush();
  pixels_.resize(static_cast<size_t>(width_) * height_);
  const auto* row = static_cast<const DWORD*>(bits);
  for (size_t i = 0; i < pixels_.size(); ++i) {
    DWORD bgra = row[i];  // 0x00RRGGBB in memory order B, G, R
    pixels_[i] = RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
  }
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, source);
}

COLORREF WindowPixels::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
  return pixels_[static_cast<size_t>(y) * width_ + x];
}

int WindowPixels::DarkCount() const {
  int count = 0;
  for (COLORREF colour : pixels_) count += IsDark(colour) ? 1 : 0;
  return count;
}

std::vector<int> WindowPixels::DarkRows() const {
  std::vector<int> rows;
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      if (IsDark(At(x, y))) {
        rows.push_back(y);
        break;
      }
    }
  }
  return rows;
}

RECT WindowPixels::DarkBounds() const {
  RECT bounds{width_, height_, 0, 0};
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      if (!IsDark(At(x, y))) continue;
      if (x < bounds.left) bounds.left = x;
      if (y < bounds.top) bounds.top = y;
      if (x + 1 > bounds.right) bounds.right = x + 1;
      if (y + 1 > bounds.bottom) bounds.bottom = y + 1;
    }
  }
  if (bounds.right == 0) return RECT{0, 0, 0, 0};
  return bounds;
}
