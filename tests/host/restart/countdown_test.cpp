#include <gtest/gtest.h>

#include "print_wide.h"
#include "restart/countdown.h"

// Elapsed milliseconds against the number shown: whole seconds only, 0
// through the last second, and the restart on the first tick after 40 whole
// seconds.
TEST(Countdown, SecondsLeftOverTime) {
  const struct {
    uint32_t elapsed;
    int shown;
  } rows[] = {{0, 40},     {999, 40},    {1000, 39},   {1999, 39},   {39000, 1},
              {39999, 1},  {40000, 0},   {40999, 0},   {41000, -1},  {50000, -1},
              {0x7FFFFFFFu, -1}, {0xFFFFFFFFu, -1}};
  for (const auto& row : rows) EXPECT_EQ(CountdownSecondsLeft(row.elapsed), row.shown) << row.elapsed;
}

TEST(Countdown, LineTextsAndThePlural) {
  EXPECT_EQ(CountdownLine(40), WideString(u"Automatic reboot in 40 seconds"));
  EXPECT_EQ(CountdownLine(2), WideString(u"Automatic reboot in 2 seconds"));
  EXPECT_EQ(CountdownLine(1), WideString(u"Automatic reboot in 1 second"));
  EXPECT_EQ(CountdownLine(0), WideString(u"Rebooting now..."));
}
