#include "engine/path_table.h"

#include <gtest/gtest.h>

TEST(PathTable, FindsPathsIgnoringAsciiCaseThroughGrowthAndClear) {
  PathTable table;
  EXPECT_EQ(table.Find(WideString(u"C:\\App\\a.dll")), nullptr);
  table.At(WideString(u"C:\\App\\a.dll")) = 7;
  ASSERT_NE(table.Find(WideString(u"c:\\APP\\A.DLL")), nullptr);
  EXPECT_EQ(*table.Find(WideString(u"c:\\APP\\A.DLL")), 7u);
  // Only ASCII letters fold: "É" and "é" are two paths.
  table.At(WideString(u"C:\\\u00c9")) = 1;
  EXPECT_EQ(table.Find(WideString(u"C:\\\u00e9")), nullptr);

  // Enough paths to grow the table several times; every one keeps its number.
  for (uint32_t i = 0; i < 5000; ++i) table.At(WideString(u"C:\\F\\") + WideString::FromUnsigned(i)) = i + 100;
  EXPECT_EQ(table.Count(), 5002);
  for (uint32_t i = 0; i < 5000; i += 97) {
    const uint32_t* value = table.Find(WideString(u"c:\\f\\") + WideString::FromUnsigned(i));
    ASSERT_NE(value, nullptr) << i;
    EXPECT_EQ(*value, i + 100);
  }
  EXPECT_EQ(*table.Find(WideString(u"C:\\App\\a.dll")), 7u);
  // At of a path held already adds nothing.
  table.At(WideString(u"C:\\APP\\a.dll")) |= 8;
  EXPECT_EQ(table.Count(), 5002);
  EXPECT_EQ(*table.Find(WideString(u"C:\\App\\a.dll")), 15u);

  table.Clear();
  EXPECT_EQ(table.Count(), 0);
  EXPECT_EQ(table.Find(WideString(u"C:\\App\\a.dll")), nullptr);
  table.At(WideString(u"")) = 3;  // an empty path is a key like any other
  EXPECT_EQ(*table.Find(WideString(u"")), 3u);
}
