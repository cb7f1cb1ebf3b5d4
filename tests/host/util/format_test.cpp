#include <gtest/gtest.h>

#include "print_wide.h"
#include "util/wide_string.h"

using W = WideString;

TEST(Format, ConversionsFlagsWidthAndPrecision) {
  EXPECT_EQ(W::Format(u"%s Installer", W(u"Hello")), W(u"Hello Installer"));
  EXPECT_EQ(W::Format(u"[%5d|%-5d|%05d]", 42, 42, -42), W(u"[   42|42   |-0042]"));
  EXPECT_EQ(W::Format(u"%u %x %X %#x", 7u, 255, 255, 255), W(u"7 ff FF 0xff"));
  EXPECT_EQ(W::Format(u"%X", -1), W(u"FFFFFFFF"));
  EXPECT_EQ(W::Format(u"%.2f %f", 3.14159, 0.5), W(u"3.14 0.500000"));
  EXPECT_EQ(W::Format(u"%.3s|%5s|%-3s|", W(u"abcdef"), W(u"ab"), W(u"x")), W(u"abc|   ab|x  |"));
  EXPECT_EQ(W::Format(u"100%%"), W(u"100%"));
  EXPECT_EQ(W::Format(u"%c%c", u'o', 'k'), W(u"ok"));
  EXPECT_EQ(W::Format(u"%I64d %lld %ld", int64_t(1) << 40, 5LL, 6L), W(u"1099511627776 5 6"));
  EXPECT_EQ(W::Format(u"%*d", 4, 1), W(u"   1"));
}

TEST(Format, MismatchedAndMissingArgumentsStaySafe) {
  EXPECT_EQ(W::Format(u"%s and %s", W(u"one")), W(u"one and "));
  EXPECT_EQ(W::Format(u"%d", W(u"text")), W(u"0"));
  EXPECT_EQ(W::Format(u"%s", 12), W(u"12"));
  EXPECT_EQ(W::Format(u"%s", static_cast<const char16_t*>(nullptr)), W(u"(null)"));
  EXPECT_EQ(W::Format(u"ends with %"), W(u"ends with %"));
  EXPECT_EQ(W::Format(u"%q", 1), W(u"%q"));
}

TEST(Format, LongOutputIsNotCut) {
  W big;
  big.PadTo(300000);
  W out = W::Format(u"<%s>", big);
  EXPECT_EQ(out.Length(), 300002);
}
