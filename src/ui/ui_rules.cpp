#include "ui/ui_rules.h"

#include <algorithm>
#include <cstdlib>

int InterpolateChannel(int c0, int c1, int t, int n) {
  if (n < 1) n = 1;
  // 64-bit product: channel differences are small, but t may come from
  // any rectangle size.
  return c0 + static_cast<int>(static_cast<int64_t>(c1 - c0) * t / n);
}

ColourValue InterpolateColour(ColourValue from, ColourValue to, int t, int n) {
  ColourValue result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    int c0 = static_cast<int>((from >> shift) & 0xFF);
    int c1 = static_cast<int>((to >> shift) & 0xFF);
    int c = InterpolateChannel(c0, c1, t, n);
    if (c < 0) c = 0;
    if (c > 255) c = 255;
    result |= static_cast<ColourValue>(c) << shift;
  }
  return result;
}

int ScaleBucket(int percent) {
  if (percent >= 300) return 4;
  if (percent >= 200) return 3;
  if (percent >= 150) return 2;
  if (percent >= 125) return 1;
  return 0;
}

int PickForScale(int percent, int a, int b, int c, int d) {
  switch (ScaleBucket(percent)) {
    case 0: return a;
    case 1: return d;
    case 2: return b;
    case 3: return c;
    default: return c | 1;
  }
}

int OptionIconSizeForScale(int percent) {
  static const int kSizes[] = {16, 20, 24, 32, 48};
  return kSizes[ScaleBucket(percent)];
}

int StatusIconSizeForScale(int percent) {
  static const int kSizes[] = {75, 94, 112, 150, 256};
  return kSizes[ScaleBucket(percent)];
}

namespace {

// The run of plain columns [first, last) around the centre, and its
// repeatable column nearest the centre; false when there is none.
bool FreeSpan(const std::vector<EmblemColumn>& columns, int& first, int& last, int& repeat) {
  int width = static_cast<int>(columns.size());
  int centre = width / 2;
  if (width == 0 || columns[static_cast<size_t>(centre)] == EmblemColumn::Artwork) return false;
  first = centre;
  while (first > 0 && columns[static_cast<size_t>(first - 1)] != EmblemColumn::Artwork) --first;
  last = centre + 1;
  while (last < width && columns[static_cast<size_t>(last)] != EmblemColumn::Artwork) ++last;
  repeat = -1;
  for (int x = first; x < last; ++x) {
    if (columns[static_cast<size_t>(x)] != EmblemColumn::Repeatable) continue;
    if (repeat < 0 || std::abs(x - centre) < std::abs(repeat - centre)) repeat = x;
  }
  return repeat >= 0;
}

}  // namespace

// With the emblem widened by e, the title's left edge (W + e - t) / 2 must
// stay pad clear of the mark ending at first, and its right edge
// (W + e + t) / 2 pad clear of the wordmark starting at last + e. One pixel
// more covers the halving.
EmblemStretch PlanEmblemStretch(const std::vector<EmblemColumn>& columns, int titleWidth, int pad) {
  int first = 0, last = 0, repeat = -1;
  if (!FreeSpan(columns, first, last, repeat)) return EmblemStretch{};
  int width = static_cast<int>(columns.size());
  int forLeft = 2 * first + 2 * pad + titleWidth - width + 1;
  int forRight = width + titleWidth + 2 * pad - 2 * last + 1;
  int extra = std::max(0, std::max(forLeft, forRight));
  if (extra == 0) return EmblemStretch{};
  return EmblemStretch{repeat, extra};
}

int EmblemTitleRoom(const std::vector<EmblemColumn>& columns, int maxWidth, int pad) {
  int first = 0, last = 0, repeat = -1;
  if (!FreeSpan(columns, first, last, repeat)) return 0;
  int width = static_cast<int>(columns.size());
  int extra = std::max(0, maxWidth - width);
  int room = std::min(width + extra - 2 * first - 2 * pad - 1, 2 * last + extra - width - 2 * pad - 1);
  return std::max(0, room);
}

int ResolveAnchored(int value, int extent, int ownSize, int origin) {
  int base = 0;
  if (value & kAnchorHalf) base += extent / 2;
  if (value & kAnchorFull) base += extent;
  if (value & kAnchorFarEdge) base -= ownSize;
  if (value & kAnchorCentre) base -= ownSize / 2;
  int low = value & 0xFFFF;
  if (value & kAnchorNegative) low = -low;
  return base + low + origin;
}

WideString ChooseFaceName(const WideString& face) {
  if (face.IsEmpty() || face.Length() > 31) return WideString(u"Tahoma");
  return face;
}

WideString FitTextWithEllipsis(int maxWidth, const WideString& text, TextMeasure& measure) {
  WideString rest = text.Length() > 3000 ? text.Left(3000) : text;
  if (measure.Width(rest) < maxWidth) return rest;
  const WideString dots(u"...");
  while (!rest.IsEmpty()) {
    rest.RemoveLast(1);
    if (rest.IsEmpty()) break;
    if (measure.Width(rest + dots) < maxWidth) return rest + dots;
  }
  return WideString();
}
