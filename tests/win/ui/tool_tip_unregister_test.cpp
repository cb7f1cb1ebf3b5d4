// Unregistering a tool tip just as its show delay runs out: the tracking
// thread may be showing it at that moment. Afterwards no pop-up of it may
// remain and nothing of it may be painted.
#include <gtest/gtest.h>

#include <atomic>

#include "ui/win/tool_tip.h"
#include "ui/win/xwindow.h"
#include "window_driver.h"

namespace {

class WatchedTip : public XToolTip {
 public:
  std::atomic<bool> unregistered{false};
  std::atomic<int> paintsBefore{0};
  std::atomic<int> paintsAfter{0};
  void OnEraseBackground(HDC dc) override {  // on the tracking thread
    ++(unregistered ? paintsAfter : paintsBefore);
    XToolTip::OnEraseBackground(dc);
  }
};

BOOL CALLBACK CountPopup(HWND window, LPARAM context) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  bool popup = process == GetCurrentProcessId() && IsWindowVisible(window) &&
               driver::ClassOf(window).StartsWith(WideString(u"XWnd")) &&
               (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  if (popup) ++*reinterpret_cast<int*>(context);
  return TRUE;
}

// Visible tool-tip pop-ups of this process.
int VisiblePopups() {
  int count = 0;
  EnumWindows(&CountPopup, reinterpret_cast<LPARAM>(&count));
  return count;
}

ToolTipDescription TipOver(HWND window, RECT area, int showDelay) {
  ToolTipDescription description;
  description.rectWindow = window;
  description.anchorRect = area;
  description.showDelay = showDelay;
  description.noFade = true;
  ToolTipText text;
  text.text = u"Unregistered while due";
  description.texts.push_back(text);
  return description;
}

}  // namespace

TEST(ToolTipUnregister, AsTheDelayExpiresNoWindowRemainsAndNothingIsPainted) {
  struct Plain : XWindow {} window;
  ASSERT_TRUE(window.CreateCustomWindow(WS_POPUP | WS_VISIBLE, 0, nullptr, 300, 300, 600, 500));
  // A second tool tip, never hovered, keeps the tracking thread running.
  XToolTip other;
  other.Register(TipOver(window.Window(), RECT{200, 150, 280, 190}, 0));
  driver::MoveMouse(300 + 50, 300 + 50);
  driver::Pump(100);

  // The tracking thread starts the hover clock on its first tick (every
  // 50 ms) and shows the tip on the first tick more than 20 ms later, some
  // 50 to 110 ms after Register: the waits sweep across that moment.
  constexpr int kRounds = 90;
  int shownRounds = 0;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    WatchedTip tip;
    tip.Register(TipOver(window.Window(), RECT{20, 20, 120, 100}, 20));
    Sleep(static_cast<DWORD>(30 + (round * 37) % 110));
    tip.Unregister();
    tip.unregistered = true;
    EXPECT_EQ(tip.Window(), nullptr);
    EXPECT_EQ(VisiblePopups(), 0);
    driver::Pump(60);
    EXPECT_EQ(VisiblePopups(), 0);
    EXPECT_EQ(tip.paintsAfter, 0);
    if (tip.paintsBefore > 0) ++shownRounds;
    EXPECT_FALSE(tip.IsRegistered());
  }
  // The sweep must have met both sides of the moment.
  EXPECT_GT(shownRounds, 0);
  EXPECT_LT(shownRounds, kRounds);
  other.Unregister();
  EXPECT_EQ(XToolTip::RegisteredCount(), 0);
  driver::MoveMouse(5, 1000);
}
