#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "ui/ui_rules.h"
#include "ui/win/borderless_frame.h"
#include "ui/win/dpi.h"
#include "ui/win/gradient.h"
#include "ui/win/offscreen_bitmap.h"
#include "ui/win/shape_list.h"
#include "ui/win/text_font.h"

namespace {

constexpr COLORREF kGreen = 0x00FF00;
constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kBlue = 0xFF0000;
constexpr COLORREF kWhite = 0xFFFFFF;

OffscreenBitmap Canvas(int width, int height, COLORREF fill) {
  OffscreenBitmap canvas;
  EXPECT_TRUE(canvas.Create(nullptr, width, height));
  RECT all{0, 0, width, height};
  SolidBrush brush(fill);
  FillRect(canvas.DC(), &all, brush.Get());
  return canvas;
}

COLORREF Pixel(const OffscreenBitmap& canvas, int x, int y) { return GetPixel(canvas.DC(), x, y); }

// A 24-bit BMP file of width x height in one colour.
std::vector<uint8_t> BmpBytes(int width, int height, COLORREF colour) {
  int stride = (width * 3 + 3) & ~3;
  int imageSize = stride * height;
  std::vector<uint8_t> bytes(54 + static_cast<size_t>(imageSize));
  auto put32 = [&](size_t at, uint32_t v) { memcpy(&bytes[at], &v, 4); };
  auto put16 = [&](size_t at, uint16_t v) { memcpy(&bytes[at], &v, 2); };
  bytes[0] = 'B';
  bytes[1] = 'M';
  put32(2, static_cast<uint32_t>(bytes.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  put16(26, 1);
  put16(28, 24);
  put32(34, static_cast<uint32_t>(imageSize));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      size_t at = 54 + static_cast<size_t>(y * stride + x * 3);
      bytes[at] = GetBValue(colour);
      bytes[at + 1] = GetGValue(colour);
      bytes[at + 2] = GetRValue(colour);
    }
  }
  return bytes;
}

int Channel(COLORREF colour, int shift) { return static_cast<int>((colour >> shift) & 0xFF); }

}  // namespace

TEST(Gradient, OnePixelHighRectangleDrawsOneRow) {
  OffscreenBitmap canvas = Canvas(20, 4, kGreen);
  RECT row{0, 1, 10, 1};
  // Corners differ top to bottom, so the rows are drawn one by one.
  FillGradient(canvas.DC(), row, 0x000000, kRed, kWhite, kWhite);
  EXPECT_EQ(Pixel(canvas, 0, 0), kGreen);
  EXPECT_EQ(Pixel(canvas, 0, 2), kGreen);
  EXPECT_EQ(Channel(Pixel(canvas, 0, 1), 0), 0);
  EXPECT_GE(Channel(Pixel(canvas, 10, 1), 0), 0xE0);  // right end inclusive, near red
  EXPECT_EQ(Pixel(canvas, 11, 1), kGreen);
  int previous = -1;
  for (int x = 0; x <= 10; ++x) {
    int red = Channel(Pixel(canvas, x, 1), 0);
    EXPECT_GE(red, previous) << x;
    EXPECT_EQ(Channel(Pixel(canvas, x, 1), 8), 0) << x;
    previous = red;
  }
}

TEST(Gradient, VerticallyEqualCornersAreDrawnColumnByColumn) {
  OffscreenBitmap canvas = Canvas(16, 8, kGreen);
  RECT box{2, 1, 12, 4};
  FillGradient(canvas.DC(), box, 0x000000, kRed, 0x000000, kRed);
  for (int x = 2; x <= 12; ++x) {
    COLORREF expected = InterpolateColour(0x000000, kRed, x - 2, 10);
    for (int y = 1; y <= 4; ++y) EXPECT_EQ(Pixel(canvas, x, y), expected) << x << "," << y;
    EXPECT_EQ(Pixel(canvas, x, 0), kGreen);
    EXPECT_EQ(Pixel(canvas, x, 5), kGreen);
  }
  EXPECT_EQ(Pixel(canvas, 13, 2), kGreen);
}

TEST(Gradient, EqualColoursDrawAPlainLine) {
  OffscreenBitmap canvas = Canvas(10, 3, kGreen);
  GradientLine(canvas.DC(), 2, 5, 1, kBlue, kBlue);
  EXPECT_EQ(Pixel(canvas, 1, 1), kGreen);
  EXPECT_EQ(Pixel(canvas, 2, 1), kBlue);
  EXPECT_EQ(Pixel(canvas, 5, 1), kBlue);
  EXPECT_EQ(Pixel(canvas, 6, 1), kGreen);
}

TEST(TextFontTest, FaceNamesLongerThan31CharactersFallBackToTahoma) {
  WideString face31(u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcde");
  TextFont font;
  ASSERT_TRUE(font.Create(nullptr, face31, 14, 0));
  EXPECT_EQ(font.Face(), face31);
  LOGFONTW description{};
  GetObjectW(font.Handle(), sizeof description, &description);
  EXPECT_EQ(WideString(description.lfFaceName), face31);
  ASSERT_TRUE(font.Create(nullptr, face31 + WideString(u"f"), 14, 0, true));
  EXPECT_EQ(font.Face(), WideString(u"Tahoma"));
  GetObjectW(font.Handle(), sizeof description, &description);
  EXPECT_EQ(WideString(description.lfFaceName), WideString(u"Tahoma"));
  EXPECT_EQ(description.lfWeight, 700);
  EXPECT_EQ(description.lfHeight, 14);
}

TEST(TextFontTest, MeasuresOnlyWithADcAndRestoresTheSelection) {
  OffscreenBitmap canvas = Canvas(200, 40, kWhite);
  TextFont font;
  ASSERT_TRUE(font.Create(nullptr, u"Tahoma", 16, 0));
  EXPECT_EQ(font.TextWidth(u"Hello"), 0);  // neither selected nor given a DC
  int width = font.TextWidth(u"Hello", false, -1, canvas.DC());
  EXPECT_GT(width, 10);
  EXPECT_EQ(font.TextWidth(u"Hello\rHello world", true, -1, canvas.DC()),
            font.TextWidth(u"Hello world", false, -1, canvas.DC()));
  EXPECT_EQ(font.TextHeight(u"a\rb\rc", true, canvas.DC()), 3 * font.TextHeight(u"Ay", false, canvas.DC()));

  HGDIOBJ before = GetCurrentObject(canvas.DC(), OBJ_FONT);
  font.Select(canvas.DC());
  EXPECT_EQ(GetCurrentObject(canvas.DC(), OBJ_FONT), font.Handle());
  EXPECT_EQ(GetBkMode(canvas.DC()), TRANSPARENT);
  font.Deselect();
  EXPECT_EQ(GetCurrentObject(canvas.DC(), OBJ_FONT), before);

  font.DrawString(canvas.DC(), 2, 2, u"Hello");
  EXPECT_EQ(GetCurrentObject(canvas.DC(), OBJ_FONT), before);
  bool inked = false;
  for (int x = 2; x < 2 + width && !inked; ++x)
    for (int y = 2; y < 20 && !inked; ++y) inked = Pixel(canvas, x, y) != kWhite;
  EXPECT_TRUE(inked);
}

TEST(TextFontTest, FitWithEllipsis) {
  OffscreenBitmap canvas = Canvas(10, 10, kWhite);
  TextFont font;
  ASSERT_TRUE(font.Create(canvas.DC(), u"Tahoma", 14, 0));
  WideString text(u"Installation folder");
  int width = font.TextWidth(text);
  EXPECT_EQ(font.FitWithEllipsis(width + 1, text), text);
  WideString cut = font.FitWithEllipsis(width / 2, text);
  EXPECT_TRUE(cut.EndsWith(WideString(u"...")));
  EXPECT_LT(font.TextWidth(cut), width / 2);
  EXPECT_TRUE(text.StartsWith(cut.Left(cut.Length() - 3)));
  EXPECT_EQ(font.FitWithEllipsis(font.TextWidth(u"..."), text), WideString());
}

TEST(Images, OffscreenBitmapBlitsAndMoves) {
  OffscreenBitmap source = Canvas(6, 4, kRed);
  EXPECT_EQ(source.Width(), 6);
  EXPECT_EQ(source.Height(), 4);
  OffscreenBitmap target = Canvas(10, 10, kWhite);
  EXPECT_NE(source.Blit(target.DC(), 2, 3), 0);
  EXPECT_EQ(Pixel(target, 2, 3), kRed);
  EXPECT_EQ(Pixel(target, 7, 6), kRed);
  EXPECT_EQ(Pixel(target, 8, 6), kWhite);
  OffscreenBitmap moved(std::move(source));
  EXPECT_EQ(source.Width(), 0);  // NOLINT: a moved-from image is empty
  EXPECT_EQ(source.Blit(target.DC(), 0, 0), 0);
  EXPECT_EQ(moved.Width(), 6);
  // A bitmap selected into another DC cannot be read: copy one that is not.
  std::vector<uint8_t> bmp = BmpBytes(6, 4, kRed);
  ScopedBitmap loose(PictureFromMemory(bmp.data(), bmp.size()));
  HBITMAP copy = CopyBitmap(loose.Get());
  ASSERT_TRUE(copy);
  OffscreenBitmap copied;
  ASSERT_TRUE(copied.Adopt(copy));
  EXPECT_EQ(Pixel(copied, 5, 3), kRed);
  OffscreenBitmap missing;
  EXPECT_FALSE(LoadBitmapResource(4242, missing));
}

TEST(Images, PictureFromMemoryDecodesBitmapsAndRejectsJunk) {
  std::vector<uint8_t> bmp = BmpBytes(5, 3, kBlue);
  ScopedBitmap picture(PictureFromMemory(bmp.data(), bmp.size()));
  ASSERT_TRUE(picture);
  BITMAP info{};
  GetObjectW(picture.Get(), sizeof info, &info);
  EXPECT_EQ(info.bmWidth, 5);
  EXPECT_EQ(info.bmHeight, 3);
  OffscreenBitmap view;
  ASSERT_TRUE(view.Adopt(picture.Release()));
  EXPECT_EQ(Pixel(view, 2, 1), kBlue);
  EXPECT_EQ(PictureFromMemory(bmp.data(), 7), nullptr);
  std::vector<uint8_t> junk(64, 0x5A);
  EXPECT_EQ(PictureFromMemory(junk.data(), junk.size()), nullptr);
}

TEST(Gdi, SelectionPutsThePreviousObjectBack) {
  OffscreenBitmap canvas = Canvas(4, 4, kWhite);
  HGDIOBJ before = GetCurrentObject(canvas.DC(), OBJ_PEN);
  SolidPen pen(1, kRed);
  {
    Selection selection(canvas.DC(), pen.Get());
    EXPECT_EQ(GetCurrentObject(canvas.DC(), OBJ_PEN), pen.Get());
    Selection moved(std::move(selection));
    EXPECT_FALSE(selection.IsActive());  // NOLINT
    EXPECT_EQ(GetCurrentObject(canvas.DC(), OBJ_PEN), pen.Get());
  }
  EXPECT_EQ(GetCurrentObject(canvas.DC(), OBJ_PEN), before);
  SolidBrush face;
  ASSERT_TRUE(face.UseFaceColour());
  face.Free();  // borrowed: not deleted
  EXPECT_NE(GetObjectType(GetSysColorBrush(COLOR_BTNFACE)), 0u);
}

TEST(Shapes, StateMaskDrawsOnlyWhileAllBitsAreSet) {
  ShapeList shapes;
  shapes.AddFilledBox(0, 0, 10, 10, kWhite, 1);
  shapes.AddFilledBox(2, 2, 8, 8, kRed, 2, 2);
  OffscreenBitmap canvas = Canvas(10, 10, kGreen);
  const int states[] = {0, 1, 2, 3, 4};
  const bool drawn[] = {false, false, true, true, false};
  for (int i = 0; i < 5; ++i) {
    shapes.SetState(states[i]);
    shapes.Draw(canvas.DC(), 0, 0);
    EXPECT_EQ(Pixel(canvas, 5, 5), drawn[i] ? kRed : kWhite) << states[i];
  }
}

TEST(Shapes, HigherLayersCoverLowerOnesWhateverTheKind) {
  ShapeList shapes;
  // Kinds draw filled boxes before lines within one layer, so the line on
  // layer 1 covers the box; a filled box on layer 2 covers the line.
  shapes.AddLine(0, 5, 20, 5, kBlue, 3, 1);
  shapes.AddFilledBox(0, 0, 20, 10, kRed, 1);
  shapes.AddFilledBox(0, 0, 5, 10, kGreen, 2);
  EXPECT_EQ(shapes.LayerCount(), 3);
  OffscreenBitmap canvas = Canvas(20, 10, kWhite);
  shapes.Draw(canvas.DC(), 0, 0);
  EXPECT_EQ(Pixel(canvas, 10, 5), kBlue);
  EXPECT_EQ(Pixel(canvas, 10, 1), kRed);
  EXPECT_EQ(Pixel(canvas, 2, 5), kGreen);
  // Layer 0 asks for a new layer on top.
  shapes.AddFilledBox(0, 0, 20, 10, kWhite);
  EXPECT_EQ(shapes.LayerCount(), 4);
}

TEST(Shapes, AnchoredCoordinatesAndExtent) {
  OffscreenBitmap image = Canvas(20, 10, kRed);
  ShapeList shapes;
  shapes.AddFilledBox(0, 0, 200, 50, kWhite, 1);
  shapes.AddImage(kAnchorFull | kAnchorFarEdge | 5, 0, image, 0, 2);
  shapes.AddImage(kAnchorHalf | kAnchorCentre, 20, image, 0, 2);
  SIZE extent = shapes.Extent();
  EXPECT_EQ(extent.cx, 200);
  EXPECT_EQ(extent.cy, 50);
  OffscreenBitmap canvas = Canvas(240, 60, kGreen);
  shapes.Draw(canvas.DC(), 0, 0);
  // Right edge 5 px beyond the extent: columns 185 to 204.
  EXPECT_EQ(Pixel(canvas, 184, 5), kWhite);
  EXPECT_EQ(Pixel(canvas, 185, 5), kRed);
  EXPECT_EQ(Pixel(canvas, 204, 5), kRed);
  EXPECT_EQ(Pixel(canvas, 205, 5), kGreen);
  // Centred: columns 90 to 109.
  EXPECT_EQ(Pixel(canvas, 89, 25), kWhite);
  EXPECT_EQ(Pixel(canvas, 90, 25), kRed);
  EXPECT_EQ(Pixel(canvas, 109, 25), kRed);
  EXPECT_EQ(Pixel(canvas, 110, 25), kWhite);
}

TEST(Shapes, AnchoredTextEndsAtTheAnchor) {
  ShapeList shapes;
  shapes.AddFilledBox(0, 0, 200, 30, kWhite, 1);
  shapes.AddText(kAnchorFull | kAnchorFarEdge | 5, 2, u"WWW", u"Tahoma", 16, 0, false, false, false, 0, 2);
  shapes.AddText(kAnchorHalf | kAnchorCentre, 2, u"WWW", u"Tahoma", 16, 0, false, false, false, 0, 2);
  OffscreenBitmap canvas = Canvas(240, 30, kGreen);
  shapes.Draw(canvas.DC(), 0, 0);
  int right = -1, left = 1000, centreRight = -1;
  for (int x = 0; x < 240; ++x) {
    for (int y = 0; y < 30; ++y) {
      if (Pixel(canvas, x, y) != 0) continue;  // black ink
      if (x > 150) right = std::max(right, x);
      if (x < 150) {
        left = std::min(left, x);
        centreRight = std::max(centreRight, x);
      }
    }
  }
  EXPECT_GT(right, 195);
  EXPECT_LE(right, 204);
  // Ink is centred on 100 within a pixel or two of side bearing.
  EXPECT_NEAR((left + centreRight) / 2.0, 100.0, 2.5);
}

TEST(FramedBackground, BandsAreGreyAtTheEdgesAndWhiteInTheMiddle) {
  OffscreenBitmap canvas = Canvas(300, 300, kGreen);
  PaintFramedBackground(canvas.DC(), 300, 300);
  EXPECT_EQ(Pixel(canvas, 5, 150), kWhite);
  // The band reaches 0xF5F5F5 at y = height, one row below the image.
  EXPECT_EQ(Pixel(canvas, 5, 299), InterpolateColour(kWhite, 0xF5F5F5, 99, 100));
  EXPECT_EQ(Pixel(canvas, 5, 100), kWhite);
  // The emblem, centred, leaves the corners in the band colour.
  EXPECT_EQ(Pixel(canvas, 5, 0), 0xF5F5F5u);
}

namespace {

// The tab's columns on row y: those that differ from the band at the edge.
std::pair<int, int> TabSpan(const OffscreenBitmap& canvas, int width, int y) {
  COLORREF band = Pixel(canvas, 0, y);
  int left = -1, right = -1;
  for (int x = 0; x < width; ++x) {
    if (Pixel(canvas, x, y) == band) continue;
    if (left < 0) left = x;
    right = x + 1;
  }
  return {left, right};
}

}  // namespace

// A title wider than the emblem's middle widens the tab by the planned
// number of columns, still centred; a short one leaves it as it is.
TEST(FramedBackground, EmblemWidensForALongTitle) {
  HeaderEmblem emblem;
  ASSERT_TRUE(emblem.Load());
  ASSERT_EQ(emblem.Width(), 190);  // 96 DPI
  const int width = 500;
  OffscreenBitmap plain = Canvas(width, 200, kGreen);
  PaintFramedBackground(plain.DC(), width, 200, 0, 0, 40);
  std::pair<int, int> shortTitle = TabSpan(plain, width, 12);
  EXPECT_GT(shortTitle.second - shortTitle.first, 170);
  EXPECT_LE(shortTitle.second - shortTitle.first, 190);
  EXPECT_NEAR(shortTitle.first + shortTitle.second, width, 1);

  OffscreenBitmap wide = Canvas(width, 200, kGreen);
  PaintFramedBackground(wide.DC(), width, 200, 0, 0, 200);
  std::pair<int, int> longTitle = TabSpan(wide, width, 12);
  int grown = (longTitle.second - longTitle.first) - (shortTitle.second - shortTitle.first);
  EXPECT_GT(grown, 200 - 190);
  EXPECT_NEAR(longTitle.first + longTitle.second, width, 1);
  // What the emblem can hold at most keeps clear of the rounded corners.
  int room = emblem.TitleRoom(width);
  EXPECT_GE(room, 200);
  OffscreenBitmap widest = Canvas(width, 200, kGreen);
  PaintFramedBackground(widest.DC(), width, 200, 0, 0, room);
  std::pair<int, int> widestTitle = TabSpan(widest, width, 12);
  EXPECT_GE(widestTitle.first, 20);
  EXPECT_LE(widestTitle.second, width - 20);
}
