#pragma once
// A retained drawing list: boxes, gradients, frames, lines, images, icons and
// texts in layers, with anchored coordinates (see AnchorBits in ui_rules.h)
// and state masks. Tool tips and the value list compose their content with it.

#include <cstdint>
#include <memory>
#include <vector>

#include "ui/win/offscreen_bitmap.h"
#include "util/wide_string.h"

struct ShapeTextCache;

class ShapeList {
 public:
  ShapeList();
  ShapeList(const ShapeList&) = delete;
  ShapeList& operator=(const ShapeList&) = delete;
  ~ShapeList();

  void Clear();
  // Each Add takes a layer; 0 puts the element on a new layer on top. A
  // non-zero state mask draws the element only while all its bits are set.
  void AddFilledBox(int left, int top, int right, int bottom, COLORREF colour, int layer = 0, int mask = 0);
  void AddBox(int left, int top, int right, int bottom, COLORREF brush, COLORREF pen, int corner,
              int layer = 0, int mask = 0);
  void AddGradientBox(int left, int top, int right, int bottom, COLORREF topLeft, COLORREF topRight,
                      COLORREF bottomLeft, COLORREF bottomRight, bool dropCache = false, int layer = 0,
                      int mask = 0);
  void AddFrameBox(int left, int top, int right, int bottom, COLORREF colour, bool focus, int layer = 0,
                   int mask = 0);
  void AddLine(int x1, int y1, int x2, int y2, COLORREF colour, int width, int layer = 0, int mask = 0);
  // The bitmap stays the caller's and must outlive the list; it must not be
  // selected into a DC (use the OffscreenBitmap form for one that is).
  void AddImage(int x, int y, HBITMAP bitmap, DWORD rop = 0, int layer = 0, int mask = 0);
  // An off-screen image, drawn from its own DC; it must outlive the list.
  void AddImage(int x, int y, const OffscreenBitmap& image, DWORD rop = 0, int layer = 0, int mask = 0);
  // Image bytes copied into the element (copy true) or referred to; decoded
  // each time the element is drawn.
  void AddImageBytes(int x, int y, const void* bytes, size_t count, bool copy, DWORD rop = 0, int layer = 0,
                     int mask = 0);
  // The element keeps its own duplicate of the icon.
  void AddIcon(int x, int y, HICON icon, int layer = 0, int mask = 0);
  // height 0 means ScaleForDpi(13); maxWidth 0 means no limit.
  void AddText(int x, int y, const WideString& text, const WideString& face, int height, COLORREF colour,
               bool bold = false, bool italic = false, bool underline = false, int maxWidth = 0, int layer = 0,
               int mask = 0);

  void CopyFrom(const ShapeList& other);
  void SetState(int bits) { state_ = bits; }
  int State() const { return state_; }
  int LayerCount() const { return layers_; }
  // Width and height of what the list draws (recomputed when outdated).
  SIZE Extent(HDC dc = nullptr);
  void Draw(HDC dc, int originX, int originY);

 private:
  struct Element;
  void Append(std::unique_ptr<Element> element, int layer, int mask);
  void ComputeExtent(HDC dc);
  SIZE OwnSize(Element& element, HDC dc);
  bool Visible(const Element& element) const;
  void DrawElement(Element& element, HDC dc, int originX, int originY, ShapeTextCache& cache);

  std::vector<std::unique_ptr<Element>> kinds_[8];
  int layers_ = 0;
  int state_ = 0;
  SIZE extent_{0, 0};
  bool outdated_ = true;
};
