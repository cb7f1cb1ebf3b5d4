#pragma once
// Reads what a window shows: its client area copied from the screen, for
// tests that check where texts and icons were painted.

#include <vector>

#include "util/win/windows_api.h"

class WindowPixels {
 public:
  // Copies the client rectangle area (client coordinates) of window.
  WindowPixels(HWND window, const RECT& area);
  int Width() const { return width_; }
  int Height() const { return height_; }
  // 0x00BBGGRR of the pixel at (x, y) of the copied area.
  COLORREF At(int x, int y) const;
  // Pixels whose three channels are all below 0x80: text and dark artwork.
  int DarkCount() const;
  // Rows that hold at least one dark pixel.
  std::vector<int> DarkRows() const;
  // The smallest rectangle around every dark pixel; empty when there is none.
  RECT DarkBounds() const;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<COLORREF> pixels_;
};
