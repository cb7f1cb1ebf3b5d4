#include "ui/ui_rules.h"

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
