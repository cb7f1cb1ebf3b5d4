#pragma once
// Portable rules of the drawing toolkit: colour interpolation, the display
// scale buckets, anchored coordinates, face-name choice and ellipsis fitting.
// They take plain numbers and texts so that both the Windows drawing code
// and the host tests use the same arithmetic.

#include <cstdint>
#include <vector>

#include "util/wide_string.h"

// A colour as stored by GDI: 0x00BBGGRR.
using ColourValue = uint32_t;

// One channel interpolated from c0 to c1 at step t of n, truncated toward
// zero: c0 + (c1 - c0) * t / n. n below 1 counts as 1.
int InterpolateChannel(int c0, int c1, int t, int n);
// All three channels of a 0x00BBGGRR colour interpolated as above.
ColourValue InterpolateColour(ColourValue from, ColourValue to, int t, int n);

// Display scale buckets by percent: 0 up to 124, 1 for 125-149, 2 for
// 150-199, 3 for 200-299, 4 from 300.
int ScaleBucket(int percent);
// Picks a resource for the scale: a up to 124 %, d from 125 %, b from 150 %,
// c from 200 %, and c | 1 from 300 %.
int PickForScale(int percent, int a, int b, int c, int d);

// Icon sizes in pixels by display scale bucket: list-row and option icons
// 16, 20, 24, 32, 48; large status icons 75, 94, 112, 150, 256.
int OptionIconSizeForScale(int percent);
int StatusIconSizeForScale(int percent);

// The header emblem's columns, as the window title sees them: artwork (the
// mark, the wordmark, the tab's edges), plain tab, or plain tab identical to
// both neighbours, which can be repeated to widen the tab.
enum class EmblemColumn : uint8_t { Artwork, Plain, Repeatable };
// Widening of the emblem for a title: `extra` copies of column `column` go in
// after it. No widening is { -1, 0 }.
struct EmblemStretch {
  int column = -1;
  int extra = 0;
};
// The widening that lets a title of titleWidth pixels, centred on the
// emblem, keep pad pixels clear of the artwork on both sides. The free space
// is the run of plain columns around the emblem's centre; it grows by
// repeating its repeatable column nearest the centre. No widening when the
// title fits already, or when the centre is no plain column or its run has
// no repeatable one.
EmblemStretch PlanEmblemStretch(const std::vector<EmblemColumn>& columns, int titleWidth, int pad);
// The widest title that fits with the emblem widened to at most maxWidth
// pixels; 0 when the emblem cannot be widened, or when even maxWidth
// leaves no room.
int EmblemTitleRoom(const std::vector<EmblemColumn>& columns, int maxWidth, int pad);

// Anchor bits of a coordinate value; the low 16 bits are the value.
enum AnchorBits : int {
  kAnchorHalf = 0x10000,      // start from half the extent
  kAnchorFull = 0x20000,      // start from the full extent (adds to half)
  kAnchorFarEdge = 0x40000,   // subtract the element's own size
  kAnchorCentre = 0x80000,    // subtract half the element's own size
  kAnchorNegative = 0x100000  // the low value is negative
};
// Resolves an anchored coordinate against an extent (list width or height)
// and the element's own size along that axis, then adds the origin.
int ResolveAnchored(int value, int extent, int ownSize, int origin);

// The face name a font uses: the given one when it has 1 to 31 characters,
// otherwise "Tahoma".
WideString ChooseFaceName(const WideString& face);

// Measures the width of a text in pixels.
class TextMeasure {
 public:
  virtual ~TextMeasure() = default;
  virtual int Width(const WideString& text) = 0;
};
// Texts longer than 3,000 characters are cut to 3,000 first. A text narrower
// than maxWidth is kept; otherwise characters are dropped from its end until
// the rest followed by "..." is narrower than maxWidth, and that is the
// result. When no character is left the result is empty.
WideString FitTextWithEllipsis(int maxWidth, const WideString& text, TextMeasure& measure);
