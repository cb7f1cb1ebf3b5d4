#include <gtest/gtest.h>

#include "print_wide.h"
#include "util/wide_string.h"

using W = WideString;

TEST(WideString, EmptyStringHasSizeOneAndNoCharacters) {
  W empty;
  EXPECT_EQ(empty.Size(), 1);
  EXPECT_EQ(empty.Length(), 0);
  EXPECT_EQ(empty.CharAt(1), 0);
  EXPECT_EQ(empty.CharAt(kLastPosition), 0);
  EXPECT_EQ(empty.Find(W(u"a")), 0);
  EXPECT_EQ(empty.FindChar(u'a'), 0);
  EXPECT_EQ(empty.RemoveAt(kLastPosition), 0);
  EXPECT_EQ(empty.Text()[0], 0);
}

TEST(WideString, PositionsAreOneBasedWithTheLastPositionSentinel) {
  W s(u"abcdef");
  EXPECT_EQ(s.CharAt(1), u'a');
  EXPECT_EQ(s.CharAt(6), u'f');
  EXPECT_EQ(s.CharAt(7), 0);
  EXPECT_EQ(s.CharAt(0), 0);
  EXPECT_EQ(s.CharAt(kLastPosition), u'f');
  EXPECT_EQ(s.Find(W(u"cd")), 3);
  EXPECT_EQ(s.Find(W(u"cd"), 4), 0);
  EXPECT_EQ(s.FindChar(u'a', 2), 0);
  EXPECT_EQ(W(u"a.b.c").FindLast(u'.'), 4);
  EXPECT_EQ(s.Mid(2, 4), W(u"bcd"));
  EXPECT_EQ(s.Mid(5, kLastPosition), W(u"ef"));
  EXPECT_EQ(s.Mid(4, 99), W(u"def"));
  EXPECT_EQ(s.Mid(5, 2), W());
  EXPECT_EQ(s.Left(2), W(u"ab"));
  EXPECT_EQ(s.Right(2), W(u"ef"));
  EXPECT_EQ(s.Right(10), s);
  EXPECT_EQ(s.From(6), W(u"f"));
  EXPECT_EQ(s.From(7), W());
}

TEST(WideString, EditingAtPositions) {
  W s(u"abc");
  EXPECT_EQ(s.RemoveAt(kLastPosition), u'c');
  EXPECT_EQ(s, W(u"ab"));
  EXPECT_EQ(s.RemoveAt(1), u'a');
  s.Insert(W(u"XY"), 1);
  EXPECT_EQ(s, W(u"XYb"));
  s.Insert(W(u"!"), kLastPosition);
  EXPECT_EQ(s, W(u"XYb!"));
  s.InsertChar(u'-', 3);
  EXPECT_EQ(s, W(u"XY-b!"));
  s.Insert(W(u"end"), 99);
  EXPECT_EQ(s, W(u"XY-b!end"));
  s.RemoveRange(2, 4);
  EXPECT_EQ(s, W(u"X!end"));
  s.RemoveRange(3, kLastPosition);
  EXPECT_EQ(s, W(u"X!"));
  s.PadTo(4);
  EXPECT_EQ(s, W(u"X!  "));
  s.RemoveLast(3);
  EXPECT_EQ(s, W(u"X"));
  s.RemoveLast(5);
  EXPECT_TRUE(s.IsEmpty());
}

TEST(WideString, CaseFoldingTouchesOnlyAsciiLetters) {
  EXPECT_EQ(W(u"Setup.DAT").Compare(W(u"setup.dat"), true), 0);
  EXPECT_NE(W(u"Setup.DAT").Compare(W(u"setup.dat"), false), 0);
  // U+00C9 and U+00E9 differ only in case outside ASCII: still different.
  EXPECT_NE(W(u"\u00C9t\u00E9").Compare(W(u"\u00E9t\u00E9"), true), 0);
  EXPECT_EQ(W(u"a").Compare(W(u"b"), false), -1);
  EXPECT_EQ(W(u"b").Compare(W(u"a"), false), 1);
  EXPECT_EQ(W(u"ab").Compare(W(u"a"), false), 1);
  W mixed(u"Mixed \u00C9\u00E9 Case");
  mixed.ToUpperAscii();
  EXPECT_EQ(mixed, W(u"MIXED \u00C9\u00E9 CASE"));
  mixed.ToLowerAscii();
  EXPECT_EQ(mixed, W(u"mixed \u00C9\u00E9 case"));
}

TEST(WideString, ReplaceDoesNotLoopAndFoldsOnlyAscii) {
  W s(u"aXa");
  EXPECT_EQ(s.Replace(W(u"a"), W(u"aa"), false), 2);
  EXPECT_EQ(s, W(u"aaXaa"));
  W path(u"<DESTINATION>bin\\<Destination>");
  EXPECT_EQ(path.Replace(W(u"<destination>"), W(u"C:\\P\\"), true), 2);
  EXPECT_EQ(path, W(u"C:\\P\\bin\\C:\\P\\"));
  W accents(u"\u00C9\u00E9");
  EXPECT_EQ(accents.Replace(W(u"\u00E9"), W(u"e"), true), 1);
  EXPECT_EQ(accents, W(u"\u00C9e"));
  W none(u"abc");
  EXPECT_EQ(none.Replace(W(), W(u"x"), false), 0);
  EXPECT_EQ(none, W(u"abc"));
}

TEST(WideString, ParseIntegerForms) {
  EXPECT_EQ(W(u"  -12a").ParseInteger(), -12);
  EXPECT_EQ(W(u"1-2").ParseInteger(), 1);
  EXPECT_EQ(W().ParseInteger(), 0);
  EXPECT_EQ(W(u"+7").ParseInteger(), 7);
  EXPECT_EQ(W(u"12abc").ParseInteger(), 12);
  EXPECT_EQ(W(u"--1").ParseInteger(), 0);
  EXPECT_EQ(W(u"\t5").ParseInteger(), 0) << "only spaces are skipped";
  EXPECT_EQ(W(u"9223372036854775807").ParseInteger(), INT64_MAX);
  W original(u"  42");
  original.ParseInteger();
  EXPECT_EQ(original, W(u"  42")) << "parsing works on a copy";
  // Overlong input wraps instead of invoking undefined behaviour.
  W(u"99999999999999999999999999").ParseInteger();
}

TEST(WideString, NumberText) {
  EXPECT_EQ(W::FromInt(-42), W(u"-42"));
  EXPECT_EQ(W::FromInt(INT64_MIN), W(u"-9223372036854775808"));
  EXPECT_EQ(W::FromUnsigned(UINT64_MAX), W(u"18446744073709551615"));
  EXPECT_EQ(W::Hex16(0xABC), W(u"0000000000000ABC"));
  EXPECT_EQ(W::Hex(0xABC), W(u"ABC"));
  EXPECT_EQ(W::Hex(0), W(u"0"));
}

TEST(WideString, TrimAndTagTravelWithCopies) {
  W s(u"  \tx ");
  s.TrimLeadingSpaces();
  EXPECT_EQ(s, W(u"\tx "));
  s.TrimTrailingSpaces();
  EXPECT_EQ(s, W(u"\tx"));
  s.SetTag(7);
  W copy(s);
  EXPECT_EQ(copy.Tag(), 7);
  W assigned;
  assigned = copy;
  EXPECT_EQ(assigned.Tag(), 7);
}
