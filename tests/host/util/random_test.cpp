#include <gtest/gtest.h>

#include <random>

#include "util/mt19937.h"

TEST(Mt19937, MatchesTheStandardGenerator) {
  Mt19937 ours(5489u);
  std::mt19937 reference(5489u);
  for (int i = 0; i < 2000; ++i) ASSERT_EQ(ours.Next(), reference()) << "output " << i;
  Mt19937 seeded(0xDEADBEEF);
  std::mt19937 reference2(0xDEADBEEF);
  for (int i = 0; i < 700; ++i) ASSERT_EQ(seeded.Next(), reference2());
}

TEST(Mt19937, ScaleStaysBelowN) {
  EXPECT_EQ(ScaleRandom(0xFFFFFFFFu, 9999), 9998u);
  EXPECT_EQ(ScaleRandom(0, 9999), 0u);
  EXPECT_EQ(ScaleRandom(0x80000000u, 10), 5u);
  EXPECT_EQ(ScaleRandom(1234, 0), 1234u);
  EXPECT_EQ(ScaleRandom(0xFFFFFFFFu, 1), 0u);
}
