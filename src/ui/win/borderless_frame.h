#pragma once
// What every borderless window made from a caption-less template shares: a
// drop shadow, a rounded region, a white brush for control colours, the
// common framed background painted once into an off-screen image, a page
// image composed over it and copied to the screen on erase, and dragging the
// window by its surface.
//
// A window keeps one BorderlessFrame as a member and calls it from its
// handlers: Attach from OnCreate, Erase from OnEraseBackground, Brush from
// the control-colour handlers, and the three mouse calls.

#include "ui/win/offscreen_bitmap.h"
#include "util/win/sync.h"

class XWindow;

// The common framed background: white, a top band fading from 0xF5F5F5 to
// white over the top third, a bottom band fading from white to 0xF5F5F5 over
// the bottom third, and the header emblem (mask with SRCAND, colour with
// SRCPAINT) centred at the top. Bitmap ids <= 0 pick the emblem by scale.
void PaintFramedBackground(HDC dc, int width, int height, int maskId = 0, int colourId = 0);

class BorderlessFrame {
 public:
  BorderlessFrame();
  BorderlessFrame(const BorderlessFrame&) = delete;
  BorderlessFrame& operator=(const BorderlessFrame&) = delete;

  // Drop shadow, white brush, rounded region, and background and page
  // images of the window's size with the framed background painted.
  bool Attach(XWindow& window);
  // Copies the background into the page image; the window then draws its
  // texts into Page().DC().
  void StartPage();
  // Copies the page image to dc at (0, 0), full size, under the paint lock.
  void Erase(HDC dc);
  HBRUSH Brush() const { return brush_.Get(); }
  OffscreenBitmap& Background() { return background_; }
  OffscreenBitmap& Page() { return page_; }
  MutexLock& PaintLock() { return paintLock_; }

  void MouseDown(HWND window);
  void MouseMove(XWindow& window);
  void MouseUp();
  bool Dragging() const { return dragging_; }

 private:
  SolidBrush brush_;
  OffscreenBitmap background_;
  OffscreenBitmap page_;
  MutexLock paintLock_;
  bool dragging_ = false;
  POINT last_{0, 0};
};
