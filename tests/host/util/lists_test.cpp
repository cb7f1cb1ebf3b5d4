#include <gtest/gtest.h>

#include "print_wide.h"
#include "util/byte_buffer.h"
#include "util/pointer_array.h"
#include "util/string_list.h"

TEST(PointerArray, GrowsPastInlineSlotsAndShifts) {
  PointerArray array;
  static int values[2000];
  for (int i = 0; i < 2000; ++i) array.Add(&values[i]);
  ASSERT_EQ(array.Count(), 2000);
  for (int i = 0; i < 2000; ++i) ASSERT_EQ(array.At(i), &values[i]);
  EXPECT_EQ(array.RemoveAt(0), &values[0]);
  EXPECT_EQ(array.At(0), &values[1]);
  EXPECT_EQ(array.Count(), 1999);
  array.InsertAt(5000, &values[0]);  // beyond the end appends
  EXPECT_EQ(array.At(1999), &values[0]);
  array.InsertAt(0, &values[7]);
  EXPECT_EQ(array.At(0), &values[7]);
  EXPECT_EQ(array.RemoveAt(99999), nullptr);
  EXPECT_EQ(array.At(-1), nullptr);
  PointerArray moved(std::move(array));
  EXPECT_EQ(moved.Count(), 2001);
  EXPECT_EQ(array.Count(), 0);
}

TEST(StringList, AddContainsRemoveAndTags) {
  StringList list;
  list.Add(WideString(u"Alpha"), 3);
  list.Add(WideString(u"beta"), 0);
  list.InsertAt(0, WideString(u"zero"));
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Item(1), WideString(u"Alpha"));
  EXPECT_EQ(list.Item(1).Tag(), 3);
  EXPECT_TRUE(list.Contains(WideString(u"ALPHA"), true));
  EXPECT_FALSE(list.Contains(WideString(u"ALPHA"), false));
  list.RemoveAt(0);
  EXPECT_EQ(list.Item(0), WideString(u"Alpha"));
  EXPECT_TRUE(list.Item(99).IsEmpty());
  StringList copy(list);
  list.Clear();
  EXPECT_EQ(copy.Count(), 2);
  EXPECT_EQ(list.Count(), 0);
}

TEST(StringList, SplitLinesEndsLinesAtCarriageReturns) {
  StringList list;
  SplitLines(WideString(u"one\r\n\ntwo\rthree"), list);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Item(0), WideString(u"one"));
  EXPECT_EQ(list.Item(1), WideString(u"two"));
  EXPECT_EQ(list.Item(2), WideString(u"three"));
  // A lone LF is not a line end.
  SplitLines(WideString(u"a\nb"), list);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Item(0), WideString(u"a\nb"));
  // The text after the last CR is the last item, even when empty.
  SplitLines(WideString(u"x\r"), list);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_TRUE(list.Item(1).IsEmpty());
}

TEST(ByteBuffer, ResizeKeepsOrReplacesTheBlock) {
  ByteBuffer buffer;
  ASSERT_TRUE(buffer.Resize(0, false));
  EXPECT_EQ(buffer.Capacity(), 1u);
  ASSERT_TRUE(buffer.Resize(64, true));
  for (size_t i = 0; i < 64; ++i) ASSERT_EQ(buffer.Data()[i], 0);
  buffer.Data()[0] = 7;
  const uint8_t* block = buffer.Data();
  ASSERT_TRUE(buffer.Resize(32, false));
  EXPECT_EQ(buffer.Data(), block) << "a block that is large enough is kept";
  EXPECT_EQ(buffer.Data()[0], 7);
  EXPECT_EQ(buffer.Size(), 32u);
  EXPECT_FALSE(buffer.Resize(SIZE_MAX / 2, false));
  EXPECT_EQ(buffer.Size(), 0u);
  EXPECT_EQ(buffer.Capacity(), 0u);
}
