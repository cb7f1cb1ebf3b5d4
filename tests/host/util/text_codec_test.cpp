#include <gtest/gtest.h>

#include "print_wide.h"
#include "util/cp1252.h"
#include "util/wide_string.h"

TEST(Cp1252, RoundTripsEveryDefinedByte) {
  for (int b = 1; b < 256; ++b) {
    uint8_t back = 0;
    ASSERT_TRUE(UnitToCp1252(Cp1252ToUnit(static_cast<uint8_t>(b)), &back)) << b;
    EXPECT_EQ(back, b);
  }
  EXPECT_EQ(Cp1252ToUnit(0x80), u'\u20AC');
  EXPECT_EQ(Cp1252ToUnit(0xE9), u'\u00E9');
  uint8_t byte = 0;
  EXPECT_FALSE(UnitToCp1252(u'\u4E2D', &byte));
  EXPECT_TRUE(IsUndefinedCp1252(0x81));
  EXPECT_FALSE(IsUndefinedCp1252(0x80));
}

TEST(WideStringCodecs, AnsiAndUtf8) {
  const char ansi[] = "caf\xE9 \x80";
  WideString w = WideString::FromAnsi(ansi);
  EXPECT_EQ(w, WideString(u"caf\u00E9 \u20AC"));
  EXPECT_STREQ(w.ToAnsi(), ansi);
  EXPECT_EQ(WideString::FromUtf8("caf\xC3\xA9 \xF0\x9F\x98\x80"), WideString(u"caf\u00E9 \U0001F600"));
  EXPECT_EQ(WideString(u"caf\u00E9 \U0001F600").ToUtf8(), "caf\xC3\xA9 \xF0\x9F\x98\x80");
  // Broken sequences cost one replacement character per bad byte.
  EXPECT_EQ(WideString::FromUtf8("a\xC3"), WideString(u"a\uFFFD"));
  EXPECT_EQ(WideString::FromUtf8("\xE2\x82"), WideString(u"\uFFFD\uFFFD"));
  EXPECT_EQ(WideString::FromAnsi("abc", 2), WideString(u"ab"));
}
