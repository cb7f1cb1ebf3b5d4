#include "ui/win/shape_list.h"

#include <algorithm>
#include <cstring>

#include "ui/ui_rules.h"
#include "ui/win/dpi.h"
#include "ui/win/gradient.h"
#include "ui/win/text_font.h"

namespace {

enum Kind { kFilledBox, kBox, kGradientBox, kFrameBox, kLine, kImage, kIcon, kText };

}  // namespace

struct ShapeList::Element {
  Kind kind = kFilledBox;
  int layer = 0;
  int mask = 0;
  int a = 0, b = 0, c = 0, d = 0;  // left, top, right, bottom / x1, y1, x2, y2 / x, y
  COLORREF colours[4]{};
  int number = 0;  // corner size, pen width, maximum text width
  bool flag = false;  // focus (frame box), drop cache (gradient box)
  DWORD rop = 0;
  HBITMAP bitmap = nullptr;  // borrowed
  const OffscreenBitmap* image = nullptr;  // borrowed, drawn from its DC
  std::vector<uint8_t> ownBytes;
  const void* bytes = nullptr;
  size_t byteCount = 0;
  ScopedIcon icon;
  WideString text, face;
  int height = 0;
  bool bold = false, italic = false, underline = false;
  OffscreenBitmap cache;  // gradient box
};

// The font of the last text element drawn, reused while the next one asks
// for the same face, height, colour and flags.
struct ShapeTextCache {
  TextFont font;
  bool valid = false;
};

ShapeList::ShapeList() = default;
ShapeList::~ShapeList() { Clear(); }

void ShapeList::Clear() {
  for (auto& list : kinds_) list.clear();
  layers_ = 0;
  extent_ = SIZE{0, 0};
  outdated_ = true;
}

void ShapeList::Append(std::unique_ptr<Element> element, int layer, int mask) {
  element->layer = layer > 0 ? layer : layers_;
  element->mask = mask;
  layers_ = std::max(layers_, element->layer + 1);
  outdated_ = true;
  kinds_[element->kind].push_back(std::move(element));
}

void ShapeList::AddFilledBox(int left, int top, int right, int bottom, COLORREF colour, int layer, int mask) {
  auto e = std::make_unique<Element>();
  e->kind = kFilledBox;
  e->a = left, e->b = top, e->c = right, e->d = bottom;
  e->colours[0] = colour;
  Append(std::move(e), layer, mask);
}

void ShapeList::AddBox(int left, int top, int right, int bottom, COLORREF brush, COLORREF pen, int corner,
                       int layer, int mask) {
  auto e = std::make_unique<Element>();
  e->kind = kBox;
  e->a = left, e->b = top, e->c = right, e->d = bottom;
  e->colours[0] = brush;
  e->colours[1] = pen;
  e->number = corner;
  Append(std::move(e), layer, mask);
}

void ShapeList::AddGradientBox(int left, int top, int right, int bottom, COLORREF topLeft, COLORREF topRight,
                               COLORREF bottomLeft, COLORREF bottomRight, bool dropCache, int layer, int mask) {
  auto e = std::make_unique<Element>();
  e->kind = kGradientBox;
  e->a = left, e->b = top, e->c = right, e->d = bottom;
  e->colours[0] = topLeft;
  e->colours[1] = topRight;
  e->colours[2] = bottomLeft;
  e->colours[3] = bottomRight;
  e->flag = dropCache;
  Append(std::move(e), layer, mask);
}

void ShapeList::AddFrameBox(int left, int top, int right, int bottom, COLORREF colour, bool focus, int layer,
                            int mask) {
  auto e = std::make_unique<Element>();
  e->kind = kFrameBox;
  e->a = left, e->b = top, e->c = right, e->d = bottom;
  e->colours[0] = colour;
  e->flag = focus;
  Append(std::move(e), layer, mask);
}

void ShapeList::AddLine(int x1, int y1, int x2, int y2, COLORREF colour, int width, int layer, int mask) {
  auto e = std::make_unique<Element>();
  e->kind = kLine;
  e->a = x1, e->b = y1, e->c = x2, e->d = y2;
  e->colours[0] = colour;
  e->number = width;
  Append(std::move(e), layer, mask);
}

void ShapeList::AddImage(int x, int y, HBITMAP bitmap, DWORD rop, int layer, int mask) {
  auto e = std::make_unique<Element>();
  e->kind = kImage;
  e->a = x, e->b = y;
  e->bitmap = bitmap;
  e->rop = rop;
  Append(std::move(e), layer, mask);
}

void ShapeList::AddImage(int x, int y, const OffscreenBitmap& image, DWORD rop, int layer, int mask) {
  auto e = std::make_unique<Element>();
  e->kind = kImage;
  e->a = x, e->b = y;
  e->image = &image;
  e->rop = rop;
  Append(std::move(e), layer, mask);
}

void ShapeList::AddImageBytes(int x, int y, const void* bytes, size_t count, bool copy, DWORD rop, int layer,
                              int mask) {
  auto e = std::make_unique<Element>();
  e->kind = kImage;
  e->a = x, e->b = y;
  if (copy && bytes && count) {
    e->ownBytes.assign(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + count);
    e->bytes = e->ownBytes.data();
  } else {
    e->bytes = bytes;
  }
  e->byteCount = count;
  e->rop = rop;
  Append(std::move(e), layer, mask);
}

void ShapeList::AddIcon(int x, int y, HICON icon, int layer, int mask) {
  auto e = std::make_unique<Element>();
  e->kind = kIcon;
  e->a = x, e->b = y;
  if (icon) e->icon.Reset(CopyIcon(icon));
  Append(std::move(e), layer, mask);
}

void ShapeList::AddText(int x, int y, const WideString& text, const WideString& face, int height,
                        COLORREF colour, bool bold, bool italic, bool underline, int maxWidth, int layer,
                        int mask) {
  auto e = std::make_unique<Element>();
  e->kind = kText;
  e->a = x, e->b = y;
  e->text = text;
  e->face = face;
  e->height = height;
  e->colours[0] = colour;
  e->bold = bold, e->italic = italic, e->underline = underline;
  e->number = maxWidth;
  Append(std::move(e), layer, mask);
}

void ShapeList::CopyFrom(const ShapeList& other) {
  if (&other == this) return;
  Clear();
  for (const auto& list : other.kinds_) {
    for (const auto& source : list) {
      auto e = std::make_unique<Element>();
      e->kind = source->kind;
      e->layer = source->layer;
      e->mask = source->mask;
      e->a = source->a, e->b = source->b, e->c = source->c, e->d = source->d;
      std::copy(std::begin(source->colours), std::end(source->colours), e->colours);
      e->number = source->number;
      e->flag = source->flag;
      e->rop = source->rop;
      e->bitmap = source->bitmap;
      e->image = source->image;
      e->ownBytes = source->ownBytes;
      e->bytes = e->ownBytes.empty() ? source->bytes : e->ownBytes.data();
      e->byteCount = source->byteCount;
      if (source->icon) e->icon.Reset(CopyIcon(source->icon.Get()));
      e->text = source->text;
      e->face = source->face;
      e->height = source->height;
      e->bold = source->bold, e->italic = source->italic, e->underline = source->underline;
      kinds_[e->kind].push_back(std::move(e));
    }
  }
  layers_ = other.layers_;
  state_ = other.state_;
  outdated_ = true;
}

bool ShapeList::Visible(const Element& element) const {
  return element.mask == 0 || (state_ & element.mask) == element.mask;
}

namespace {

int TextHeightOf(int height) { return height != 0 ? height : ScaleForDpi(13); }

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return SIZE{0, 0};
  return SIZE{info.bmWidth, info.bmHeight};
}

}  // namespace

// Own size of images, icons and texts; 0 for boxes and lines.
SIZE ShapeList::OwnSize(Element& e, HDC dc) {
  switch (e.kind) {
    case kImage: {
      if (e.image) return SIZE{e.image->Width(), e.image->Height()};
      if (e.bitmap) return BitmapSize(e.bitmap);
      HBITMAP decoded = PictureFromMemory(e.bytes, e.byteCount);
      SIZE size = BitmapSize(decoded);
      if (decoded) DeleteObject(decoded);
      return size;
    }
    case kIcon:
      return SIZE{IconWidth(e.icon.Get()), IconHeight(e.icon.Get())};
    case kText: {
      TextFont font;
      font.Create(nullptr, e.face, TextHeightOf(e.height), e.colours[0], e.bold, e.italic, e.underline);
      WideString shown = e.number > 0 ? font.FitWithEllipsis(e.number, e.text, dc) : e.text;
      return SIZE{font.TextWidth(shown, false, -1, dc), font.TextHeight(shown, false, dc)};
    }
    default:
      return SIZE{0, 0};
  }
}

void ShapeList::ComputeExtent(HDC dc) {
  ScreenDC screen;
  if (!dc) dc = screen.Get();
  int width = 0, height = 0;
  for (auto& list : kinds_) {
    for (auto& e : list) {
      if (e->kind == kImage || e->kind == kIcon || e->kind == kText) {
        SIZE own = OwnSize(*e, dc);
        int x = std::max(0, ResolveAnchored(e->a, 0, own.cx, 0));
        int y = std::max(0, ResolveAnchored(e->b, 0, own.cy, 0));
        width = std::max(width, x + static_cast<int>(own.cx));
        height = std::max(height, y + static_cast<int>(own.cy));
      } else {
        width = std::max({width, ResolveAnchored(e->a, 0, 0, 0), ResolveAnchored(e->c, 0, 0, 0)});
        height = std::max({height, ResolveAnchored(e->b, 0, 0, 0), ResolveAnchored(e->d, 0, 0, 0)});
      }
    }
  }
  extent_ = SIZE{width, height};
  outdated_ = false;
}

SIZE ShapeList::Extent(HDC dc) {
  if (outdated_) ComputeExtent(dc);
  return extent_;
}

void ShapeList::Draw(HDC dc, int originX, int originY) {
  if (!dc) return;
  if (outdated_) ComputeExtent(dc);
  ShapeTextCache cache;
  for (int layer = 0; layer < layers_; ++layer) {
    for (auto& list : kinds_) {
      for (auto& e : list) {
        if (e->layer == layer && Visible(*e)) DrawElement(*e, dc, originX, originY, cache);
      }
    }
  }
}

void ShapeList::DrawElement(Element& e, HDC dc, int originX, int originY, ShapeTextCache& cache) {
  const int w = extent_.cx, h = extent_.cy;
  auto rx = [&](int v, int s) { return ResolveAnchored(v, w, s, originX); };
  auto ry = [&](int v, int s) { return ResolveAnchored(v, h, s, originY); };
  switch (e.kind) {
    case kFilledBox: {
      RECT r{rx(e.a, 0), ry(e.b, 0), rx(e.c, 0), ry(e.d, 0)};
      SolidBrush brush(e.colours[0]);
      FillRect(dc, &r, brush.Get());
      break;
    }
    case kBox: {
      SolidBrush brush(e.colours[0]);
      SolidPen pen(1, e.colours[1]);
      brush.Select(dc);
      pen.Select(dc);
      if (e.number > 0)
        RoundRect(dc, rx(e.a, 0), ry(e.b, 0), rx(e.c, 0), ry(e.d, 0), e.number, e.number);
      else
        Rectangle(dc, rx(e.a, 0), ry(e.b, 0), rx(e.c, 0), ry(e.d, 0));
      break;
    }
    case kGradientBox: {
      RECT r{rx(e.a, 0), ry(e.b, 0), rx(e.c, 0), ry(e.d, 0)};
      int bw = r.right - r.left, bh = r.bottom - r.top;
      if (bw <= 0 || bh <= 0) break;
      if (e.cache.Width() != bw || e.cache.Height() != bh) {
        if (e.cache.Create(nullptr, bw, bh)) {
          RECT inner{0, 0, bw - 1, bh - 1};
          FillGradient(e.cache.DC(), inner, e.colours[0], e.colours[1], e.colours[2], e.colours[3]);
        }
      }
      e.cache.Blit(dc, r.left, r.top);
      if (e.flag) e.cache.Free();
      break;
    }
    case kFrameBox: {
      RECT r{rx(e.a, 0), ry(e.b, 0), rx(e.c, 0), ry(e.d, 0)};
      if (e.flag) {
        DrawFocusRect(dc, &r);
      } else {
        SolidBrush brush(e.colours[0]);
        FrameRect(dc, &r, brush.Get());
      }
      break;
    }
    case kLine: {
      SolidPen pen(e.number, e.colours[0]);
      pen.Select(dc);
      MoveToEx(dc, rx(e.a, 0), ry(e.b, 0), nullptr);
      LineTo(dc, rx(e.c, 0), ry(e.d, 0));
      break;
    }
    case kImage: {
      if (e.image) {
        int iw = e.image->Width(), ih = e.image->Height();
        e.image->Blit(dc, rx(e.a, iw), ry(e.b, ih), iw, ih, 0, 0, e.rop ? e.rop : SRCCOPY);
        break;
      }
      ScopedBitmap decoded;
      HBITMAP bitmap = e.bitmap;
      if (!bitmap && e.bytes) {
        decoded.Reset(PictureFromMemory(e.bytes, e.byteCount));
        bitmap = decoded.Get();
      }
      if (!bitmap) break;
      SIZE size = BitmapSize(bitmap);
      MemoryDC source(CreateCompatibleDC(dc));
      Selection selection(source.Get(), bitmap);
      BitBlt(dc, rx(e.a, size.cx), ry(e.b, size.cy), size.cx, size.cy, source.Get(), 0, 0,
             e.rop ? e.rop : SRCCOPY);
      break;
    }
    case kIcon: {
      HICON icon = e.icon.Get();
      PaintIcon(icon, dc, rx(e.a, IconWidth(icon)), ry(e.b, IconHeight(icon)));
      break;
    }
    case kText: {
      int height = TextHeightOf(e.height);
      TextFont& font = cache.font;
      bool same = cache.valid && font.Face() == ChooseFaceName(e.face) && font.Height() == height &&
                  font.Colour() == e.colours[0] && font.Bold() == e.bold && font.Italic() == e.italic &&
                  font.Underline() == e.underline;
      if (!same) {
        cache.valid = font.Create(nullptr, e.face, height, e.colours[0], e.bold, e.italic, e.underline);
      }
      WideString shown = e.number > 0 ? font.FitWithEllipsis(e.number, e.text, dc) : e.text;
      int tw = font.TextWidth(shown, false, -1, dc);
      int th = font.TextHeight(shown, false, dc);
      font.DrawString(dc, rx(e.a, tw), ry(e.b, th), shown, false);
      break;
    }
  }
}
