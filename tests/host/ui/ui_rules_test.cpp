#include <gtest/gtest.h>

#include "ui/ui_rules.h"

TEST(Interpolation, TruncatesTowardZeroInBothDirections) {
  EXPECT_EQ(InterpolateChannel(0, 255, 0, 3), 0);
  EXPECT_EQ(InterpolateChannel(0, 255, 1, 3), 85);
  EXPECT_EQ(InterpolateChannel(0, 100, 1, 3), 33);
  EXPECT_EQ(InterpolateChannel(100, 0, 1, 3), 67);  // 100 + (-100 / 3) = 100 - 33
  EXPECT_EQ(InterpolateChannel(0, 255, 3, 3), 255);
  // A zero-sized span counts as one step: no division by zero.
  EXPECT_EQ(InterpolateChannel(10, 20, 0, 0), 10);
  EXPECT_EQ(InterpolateChannel(10, 20, 1, 0), 20);
}

TEST(Interpolation, ColoursInterpolateEachChannelOnItsOwn) {
  // 0x00BBGGRR: red rises, blue falls, green stays.
  EXPECT_EQ(InterpolateColour(0xFF8000, 0x0080FF, 0, 2), 0xFF8000u);
  EXPECT_EQ(InterpolateColour(0xFF8000, 0x0080FF, 1, 2), 0x80807Fu);
  EXPECT_EQ(InterpolateColour(0xFF8000, 0x0080FF, 2, 2), 0x0080FFu);
  EXPECT_EQ(InterpolateColour(0xF5F5F5, 0xFFFFFF, 5, 10), 0xFAFAFAu);
}

TEST(ScaleBuckets, BoundariesAndPicks) {
  EXPECT_EQ(ScaleBucket(100), 0);
  EXPECT_EQ(ScaleBucket(124), 0);
  EXPECT_EQ(ScaleBucket(125), 1);
  EXPECT_EQ(ScaleBucket(149), 1);
  EXPECT_EQ(ScaleBucket(150), 2);
  EXPECT_EQ(ScaleBucket(199), 2);
  EXPECT_EQ(ScaleBucket(200), 3);
  EXPECT_EQ(ScaleBucket(299), 3);
  EXPECT_EQ(ScaleBucket(300), 4);
  EXPECT_EQ(PickForScale(100, 105, 107, 128, 106), 105);
  EXPECT_EQ(PickForScale(125, 105, 107, 128, 106), 106);
  EXPECT_EQ(PickForScale(150, 105, 107, 128, 106), 107);
  EXPECT_EQ(PickForScale(200, 105, 107, 128, 106), 128);
  EXPECT_EQ(PickForScale(300, 105, 107, 128, 106), 129);
  EXPECT_EQ(PickForScale(300, 102, 104, 126, 103), 127);
}

// The icon sizes follow the buckets in their natural order, unlike the
// resource picks above.
TEST(ScaleBuckets, IconSizesAtEachBoundary) {
  const struct {
    int percent, option, status;
  } rows[] = {{100, 16, 75},  {124, 16, 75},  {125, 20, 94},   {149, 20, 94},   {150, 24, 112},
              {199, 24, 112}, {200, 32, 150}, {299, 32, 150}, {300, 48, 256}, {450, 48, 256}};
  for (const auto& row : rows) {
    EXPECT_EQ(OptionIconSizeForScale(row.percent), row.option) << row.percent;
    EXPECT_EQ(StatusIconSizeForScale(row.percent), row.status) << row.percent;
  }
}

namespace {

// Artwork over [0, markEnd) and [wordStart, width); plain tab between,
// repeatable except for one column at either end of the plain run.
std::vector<EmblemColumn> Emblem(int width, int markEnd, int wordStart) {
  std::vector<EmblemColumn> columns(static_cast<size_t>(width), EmblemColumn::Artwork);
  for (int x = markEnd; x < wordStart; ++x) {
    bool edge = x == markEnd || x == wordStart - 1;
    columns[static_cast<size_t>(x)] = edge ? EmblemColumn::Plain : EmblemColumn::Repeatable;
  }
  return columns;
}

}  // namespace

TEST(EmblemTitle, WidensOnlyWhatTheTitleNeeds) {
  const struct {
    int markEnd, wordStart, title, column, extra;
  } rows[] = {
      {10, 30, 10, -1, 0},  // fits as it is
      {10, 30, 15, -1, 0},  // exactly: 2 px clear on both sides
      {10, 30, 16, 20, 1},  // one more pixel widens by one
      {10, 30, 20, 20, 5},
      {5, 30, 20, 20, 5},   // the wordmark side decides
      {10, 35, 20, 20, 5},  // the mark side decides
  };
  for (const auto& row : rows) {
    EmblemStretch stretch = PlanEmblemStretch(Emblem(40, row.markEnd, row.wordStart), row.title, 2);
    EXPECT_EQ(stretch.column, row.column) << row.markEnd << " " << row.wordStart << " " << row.title;
    EXPECT_EQ(stretch.extra, row.extra) << row.markEnd << " " << row.wordStart << " " << row.title;
  }
}

TEST(EmblemTitle, NoWideningWithoutAPlainCentreOrARepeatableColumn) {
  EXPECT_EQ(PlanEmblemStretch(Emblem(40, 25, 35), 30, 2).extra, 0);  // centre 20 is artwork
  std::vector<EmblemColumn> flat(40, EmblemColumn::Plain);
  EXPECT_EQ(PlanEmblemStretch(flat, 60, 2).column, -1);
  EXPECT_EQ(EmblemTitleRoom(flat, 100, 2), 0);
  EXPECT_EQ(PlanEmblemStretch({}, 10, 2).extra, 0);
  EXPECT_EQ(EmblemTitleRoom({}, 100, 2), 0);
}

// Every title up to the room fits clear of the artwork once widened, within
// the widest emblem allowed; one pixel more would not.
TEST(EmblemTitle, EveryTitleWithinTheRoomClearsTheArtwork) {
  for (int maxWidth : {40, 55, 100}) {
    std::vector<EmblemColumn> columns = Emblem(40, 7, 31);
    int room = EmblemTitleRoom(columns, maxWidth, 3);
    ASSERT_GT(room, 0) << maxWidth;
    for (int title = 1; title <= room + 1; ++title) {
      EmblemStretch stretch = PlanEmblemStretch(columns, title, 3);
      int width = 40 + stretch.extra;
      int left = (width - title) / 2;
      int right = left + title;
      bool clear = left >= 7 + 3 && right <= 31 + stretch.extra - 3;
      EXPECT_TRUE(clear) << maxWidth << " " << title;
      EXPECT_EQ(width <= maxWidth, title <= room) << maxWidth << " " << title;
    }
  }
}

TEST(Anchored, PlainHalfFullAndNegativeValues) {
  EXPECT_EQ(ResolveAnchored(7, 200, 30, 0), 7);
  EXPECT_EQ(ResolveAnchored(7, 200, 30, 10), 17);
  EXPECT_EQ(ResolveAnchored(kAnchorHalf | 3, 200, 30, 0), 103);
  EXPECT_EQ(ResolveAnchored(kAnchorFull, 200, 30, 0), 200);
  EXPECT_EQ(ResolveAnchored(kAnchorHalf | kAnchorFull, 200, 0, 0), 300);
  EXPECT_EQ(ResolveAnchored(kAnchorNegative | 4, 200, 30, 0), -4);
  EXPECT_EQ(ResolveAnchored(kAnchorFull | kAnchorNegative | 4, 200, 30, 0), 196);
}

TEST(Anchored, FarEdgeAndCentre) {
  // Right edge 5 px beyond the extent: x = 200 - 30 + 5, so x + 30 = 205.
  EXPECT_EQ(ResolveAnchored(kAnchorFull | kAnchorFarEdge | 5, 200, 30, 0), 175);
  // Centred: x = 100 - 15.
  EXPECT_EQ(ResolveAnchored(kAnchorHalf | kAnchorCentre, 200, 30, 0), 85);
  EXPECT_EQ(ResolveAnchored(kAnchorHalf | kAnchorCentre, 200, 31, 0), 85);
  // With the extent taken as 0, as when the extent itself is measured.
  EXPECT_EQ(ResolveAnchored(kAnchorFull | kAnchorFarEdge | 5, 0, 30, 0), -25);
}

TEST(FaceName, ThirtyOneCharactersKeptLongerOrEmptyGiveTahoma) {
  WideString face31(u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcde");
  ASSERT_EQ(face31.Length(), 31);
  EXPECT_EQ(ChooseFaceName(face31), face31);
  WideString face32 = face31 + WideString(u"f");
  EXPECT_EQ(ChooseFaceName(face32), WideString(u"Tahoma"));
  EXPECT_EQ(ChooseFaceName(WideString()), WideString(u"Tahoma"));
  EXPECT_EQ(ChooseFaceName(WideString(u"Arial")), WideString(u"Arial"));
}

namespace {

// Every character is 10 px wide.
class FixedWidth : public TextMeasure {
 public:
  int Width(const WideString& text) override {
    ++calls;
    return text.Length() * 10;
  }
  int calls = 0;
};

}  // namespace

TEST(Ellipsis, FittingTextStaysAndLongTextIsCut) {
  FixedWidth measure;
  EXPECT_EQ(FitTextWithEllipsis(51, WideString(u"Hello"), measure), WideString(u"Hello"));
  // Exactly as wide as the limit does not fit: "Hello" is 50, limit 50.
  // "He..." is 50 too, "H..." 40 fits.
  EXPECT_EQ(FitTextWithEllipsis(50, WideString(u"Hello"), measure), WideString(u"H..."));
  EXPECT_EQ(FitTextWithEllipsis(61, WideString(u"Hello world"), measure), WideString(u"Hel..."));
}

TEST(Ellipsis, NothingFitsGivesEmpty) {
  FixedWidth measure;
  EXPECT_EQ(FitTextWithEllipsis(40, WideString(u"Hello"), measure), WideString());
  EXPECT_EQ(FitTextWithEllipsis(0, WideString(u"Hi"), measure), WideString());
  EXPECT_EQ(FitTextWithEllipsis(0, WideString(), measure), WideString());
}

TEST(Ellipsis, VeryLongTextIsCutTo3000First) {
  FixedWidth measure;
  std::u16string many(5000, u'x');
  WideString fitted = FitTextWithEllipsis(1000000, WideString(many), measure);
  EXPECT_EQ(fitted.Length(), 3000);
}
