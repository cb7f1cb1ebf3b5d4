#include "payload/decode_window.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint64_t kMiB = uint64_t(1) << 20;

struct WindowCase {
  const char* what;
  std::vector<uint64_t> held;  // members started before
  uint64_t next;               // the member asking to start
  bool mayStart;
};

}  // namespace

TEST(DecodeWindow, BothLimitsHoldAndAnOversizedMemberWaitsAlone) {
  const DecodeWindowLimits limits{3, 10 * kMiB};
  const WindowCase cases[] = {
      {"empty window", {}, 1 * kMiB, true},
      {"room for both", {4 * kMiB}, 6 * kMiB, true},
      {"one byte too many", {4 * kMiB}, 6 * kMiB + 1, false},
      {"member limit", {1, 1, 1}, 1, false},
      {"below the member limit", {1, 1}, 1, true},
      {"oversized into an empty window", {}, 50 * kMiB, true},
      {"oversized behind another", {1}, 50 * kMiB, false},
      {"nothing after an oversized one", {50 * kMiB}, 0, false},
      {"empty members count as members", {0, 0, 0}, 0, false},
      {"sizes near the top of the range", {1}, UINT64_MAX, false},
  };
  for (const WindowCase& c : cases) {
    SCOPED_TRACE(c.what);
    DecodeWindow window(limits);
    for (uint64_t bytes : c.held) window.Started(bytes);
    EXPECT_EQ(window.MayStart(c.next), c.mayStart);
  }
}

TEST(DecodeWindow, ReleasingMakesRoomAndPeaksAreKept) {
  DecodeWindow window(DecodeWindowLimits{2, 8 * kMiB});
  window.Started(5 * kMiB);
  window.Started(3 * kMiB);
  EXPECT_FALSE(window.MayStart(1));
  EXPECT_EQ(window.HeldMembers(), 2u);
  EXPECT_EQ(window.HeldBytes(), 8 * kMiB);
  window.Released(5 * kMiB);
  EXPECT_TRUE(window.MayStart(5 * kMiB));
  EXPECT_FALSE(window.MayStart(5 * kMiB + 1));
  window.Released(3 * kMiB);
  EXPECT_EQ(window.HeldMembers(), 0u);
  EXPECT_EQ(window.HeldBytes(), 0u);
  EXPECT_EQ(window.PeakMembers(), 2u);
  EXPECT_EQ(window.PeakBytes(), 8 * kMiB);
  // More released than held never wraps around.
  window.Released(1);
  EXPECT_EQ(window.HeldMembers(), 0u);
  EXPECT_EQ(window.HeldBytes(), 0u);
}

TEST(DecodeWindow, LargeMembersAskOnlyTheByteLimit) {
  DecodeWindow window(DecodeWindowLimits{2, 10 * kMiB});
  window.Started(1);
  window.Started(1);
  EXPECT_FALSE(window.MayStart(4 * kMiB));       // the member count is full
  EXPECT_TRUE(window.MayStartLarge(4 * kMiB));   // the bytes are not
  window.Started(4 * kMiB);
  EXPECT_TRUE(window.MayStartLarge(6 * kMiB - 2));
  EXPECT_FALSE(window.MayStartLarge(6 * kMiB - 1));
  EXPECT_FALSE(window.MayStartLarge(UINT64_MAX));
}
