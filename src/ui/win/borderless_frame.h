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

#include <vector>

#include "ui/ui_rules.h"
#include "ui/win/offscreen_bitmap.h"
#include "util/win/sync.h"

class XWindow;

// The header emblem: a tab hanging from the top edge with the product mark
// on its left and the wordmark on its right; the window writes its title
// across the middle. For a title wider than that middle the tab is widened
// by repeating a plain column, so the title never runs into the artwork.
class HeaderEmblem {
 public:
  // The colour and mask bitmaps; ids <= 0 pick them by display scale.
  // False when either is missing.
  bool Load(int maskId = 0, int colourId = 0);
  int Width() const { return colour_.Width(); }
  int Height() const { return colour_.Height(); }
  // The widest title, centred on a window windowWidth pixels wide, that the
  // emblem can hold clear of its artwork without coming near the window's
  // rounded corners.
  int TitleRoom(int windowWidth) const;
  // Draws it centred at the top of a window windowWidth pixels wide (mask
  // with SRCAND, colour with SRCPAINT), widened for a title of titleWidth
  // pixels (0: as it is).
  void Draw(HDC dc, int windowWidth, int titleWidth) const;

 private:
  OffscreenBitmap mask_;
  OffscreenBitmap colour_;
  std::vector<EmblemColumn> columns_;
};

// The widest title that the emblem of this display scale holds on a window
// windowWidth pixels wide.
int EmblemTitleRoom(int windowWidth);

// The common framed background: white, a top band fading from 0xF5F5F5 to
// white over the top third, a bottom band fading from white to 0xF5F5F5 over
// the bottom third, and the header emblem centred at the top, widened for a
// title of titleWidth pixels. Bitmap ids <= 0 pick the emblem by scale.
void PaintFramedBackground(HDC dc, int width, int height, int maskId = 0, int colourId = 0, int titleWidth = 0);

class BorderlessFrame {
 public:
  BorderlessFrame();
  BorderlessFrame(const BorderlessFrame&) = delete;
  BorderlessFrame& operator=(const BorderlessFrame&) = delete;

  // Drop shadow, white brush, rounded region, and background and page
  // images of the window's size with the framed background painted, its
  // emblem widened for a title of titleWidth pixels.
  bool Attach(XWindow& window, int titleWidth = 0);
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
