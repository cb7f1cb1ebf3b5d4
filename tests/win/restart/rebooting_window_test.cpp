#include <gtest/gtest.h>

#include "app/install_state.h"
#include "resources/resource_ids.h"
#include "restart_test_support.h"
#include "scripted_messages.h"
#include "util/win/message_door.h"
#include "window_driver.h"
#include "window_pixels.h"

namespace {

const WideString kQuestion(u"Cancel reboot?\r\n\r\nWindows will require restarting to finalize install.");

class RestartWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetInstallState();
    State().ProjectName = u"Gallery Tool";
    SetFakeNow(100000);  // any start; only differences count
  }
  void TearDown() override { driver::MoveMouse(5, 1000); }
  static void At(DWORD elapsedMs) { SetFakeNow(100000 + elapsedMs); }

  RestartCounter restarts_;
};

std::string Narrow(const WideString& text) { return text.ToUtf8(); }

}  // namespace

// The line over time, tick by tick; the restart comes with the first tick
// after 40 whole seconds, with "Rebooting now..." through the last second.
TEST_F(RestartWindow, CountdownTextsOverTime) {
  RestartWindowThread run(false);
  ASSERT_TRUE(run.WaitForWindow());
  EXPECT_EQ(Narrow(run.Window().CountdownText()), "Automatic reboot in 40 seconds");
  EXPECT_NE(run.Window().CountdownTimer(), 0u);

  // The window's own 1,000 ms timer moves the line without help.
  At(2500);
  EXPECT_TRUE(driver::WaitFor([&] { return run.Window().CountdownText() == WideString(u"Automatic reboot in 38 seconds"); },
                              3000));

  const struct {
    DWORD elapsed;
    const char* line;
  } ticks[] = {{2999, "Automatic reboot in 38 seconds"}, {3000, "Automatic reboot in 37 seconds"},
               {38999, "Automatic reboot in 2 seconds"}, {39000, "Automatic reboot in 1 second"},
               {39999, "Automatic reboot in 1 second"},  {40000, "Rebooting now..."},
               {40999, "Rebooting now..."}};
  for (const auto& tick : ticks) {
    At(tick.elapsed);
    run.Tick();
    EXPECT_EQ(Narrow(run.Window().CountdownText()), tick.line) << tick.elapsed;
  }
  EXPECT_EQ(restarts_.Count(), 0);
  EXPECT_FALSE(run.Ended());

  At(41000);
  run.Tick();
  ASSERT_TRUE(run.WaitForEnd(5000));
  EXPECT_TRUE(run.Result());
  EXPECT_EQ(restarts_.Count(), 1);
  EXPECT_TRUE(State().RestartRequested);
  EXPECT_EQ(Narrow(run.Window().CountdownText()), "Rebooting now...");
  EXPECT_FALSE(run.QuitLeftBehind());
}

TEST_F(RestartWindow, RebootNowRestartsAtOnce) {
  RestartWindowThread run(true);
  HWND window = run.WaitForWindow();
  ASSERT_TRUE(window);
  EXPECT_EQ(driver::ControlText(window, IDC_REBOOT_NOW), WideString(u"Reboot Now"));
  At(5000);
  driver::ClickByMessage(GetDlgItem(window, IDC_REBOOT_NOW));
  ASSERT_TRUE(run.WaitForEnd(5000));
  EXPECT_TRUE(run.Result());
  EXPECT_EQ(restarts_.Count(), 1);
  EXPECT_TRUE(State().RestartRequested);
  EXPECT_EQ(Narrow(run.Window().CountdownText()), "Rebooting now...");
  // The quit ended this window's loop and nothing after it.
  EXPECT_FALSE(run.QuitLeftBehind());
}

// "Cancel Reboot" stops the countdown and asks; Yes closes without a
// restart, No counts on from the same start.
TEST_F(RestartWindow, CancelRebootAsksThenClosesOrCountsOn) {
  const struct {
    int answer;
    bool closes;
  } cases[] = {{IDYES, true}, {IDNO, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer == IDYES ? "Yes" : "No");
    ResetInstallState();
    State().ProjectName = u"Gallery Tool";
    ScriptedMessages messages;
    messages.Answer(c.answer);
    At(0);
    RestartWindowThread run(false);
    HWND window = run.WaitForWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(driver::ControlText(window, IDC_CANCEL_REBOOT), WideString(u"Cancel Reboot"));
    At(10000);
    driver::ClickByMessage(GetDlgItem(window, IDC_CANCEL_REBOOT));
    ASSERT_EQ(messages.Count(), 1);
    RecordedMessage asked = messages.Last();
    EXPECT_EQ(asked.text, kQuestion);
    EXPECT_EQ(asked.caption, WideString(u"Gallery Tool"));
    EXPECT_EQ(asked.flags, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(asked.owner, window);
    if (c.closes) {
      ASSERT_TRUE(run.WaitForEnd(5000));
      EXPECT_FALSE(run.Result());
      EXPECT_FALSE(State().RestartRequested);
    } else {
      driver::Pump(100);
      EXPECT_FALSE(run.Ended());
      ASSERT_NE(run.Window().CountdownTimer(), 0u);
      At(12000);
      run.Tick();
      EXPECT_EQ(Narrow(run.Window().CountdownText()), "Automatic reboot in 28 seconds");
    }
    EXPECT_EQ(restarts_.Count(), 0);
  }
}

namespace {

// Answers No once the question has been open for 50 seconds.
struct SlowNo {
  int asked = 0;
  static int Respond(void* context, HWND, const WideString&, const WideString&, UINT) {
    ++static_cast<SlowNo*>(context)->asked;
    SetFakeNow(FakeNow() + 50000);
    return IDNO;
  }
};

}  // namespace

TEST_F(RestartWindow, NoAfterALongQuestionRestartsOnTheNextTick) {
  At(0);
  RestartWindowThread run(false);
  HWND window = run.WaitForWindow();
  ASSERT_TRUE(window);
  SlowNo slow;
  SetMessageResponder(&SlowNo::Respond, &slow);
  driver::ClickByMessage(GetDlgItem(window, IDC_CANCEL_REBOOT));
  SetMessageResponder(nullptr, nullptr);
  EXPECT_EQ(slow.asked, 1);
  EXPECT_EQ(restarts_.Count(), 0);
  // The timer runs again; its first tick finds 50 seconds gone.
  EXPECT_TRUE(run.WaitForEnd(4000));
  EXPECT_TRUE(run.Result());
  EXPECT_EQ(restarts_.Count(), 1);
}

// Title at the top, icon on the left, "Restarting Windows" and the
// countdown to its right, the re-run line between them only when asked for.
TEST_F(RestartWindow, TextsAndIconWhereTheLayoutPutsThem) {
  for (bool reRun : {false, true}) {
    SCOPED_TRACE(reRun ? "with the re-run line" : "without the re-run line");
    RestartWindowThread run(reRun);
    HWND window = run.WaitForWindow();
    ASSERT_TRUE(window);
    driver::Pump(200);
    auto dlu = [&](int x, int y) {
      RECT rect{x, y, 0, 0};
      MapDialogRect(window, &rect);
      return POINT{rect.left, rect.top};
    };
    RECT client{};
    GetClientRect(window, &client);

    RECT strip = run.Window().CountdownStrip();
    POINT heading = dlu(95, reRun ? 40 : 50);
    EXPECT_EQ(strip.left, heading.x);
    EXPECT_EQ(strip.top, heading.y + dlu(0, reRun ? 44 : 25).y);
    EXPECT_GT(WindowPixels(window, strip).DarkCount(), 50);
    // "Restarting Windows": dark rows from its top, nothing above it.
    RECT headingArea{heading.x, heading.y - dlu(0, 8).y, client.right - 10, heading.y + dlu(0, 15).y};
    std::vector<int> rows = WindowPixels(window, headingArea).DarkRows();
    ASSERT_FALSE(rows.empty());
    EXPECT_GE(rows.front(), dlu(0, 8).y);
    // The re-run line, 24 dialog units below the heading; without it the
    // space down to the countdown stays empty.
    RECT between{heading.x, heading.y + dlu(0, reRun ? 24 : 16).y, client.right - 24, strip.top};
    if (reRun)
      EXPECT_GT(WindowPixels(window, between).DarkCount(), 30);
    else
      EXPECT_EQ(WindowPixels(window, between).DarkCount(), 0);
    // The title across the top, clear of the rounded corners.
    EXPECT_GT(WindowPixels(window, RECT{24, 0, client.right - 24, dlu(0, 14).y}).DarkCount(), 30);
    // The icon: mostly its orange disc, at the status size of 96 DPI.
    POINT icon = dlu(25, 0);
    const int size = 75;
    WindowPixels iconArea(window, RECT{icon.x, (client.bottom - size) / 2, icon.x + size, (client.bottom + size) / 2});
    int orange = 0;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        COLORREF colour = iconArea.At(x, y);
        if (GetRValue(colour) > 0xC0 && GetGValue(colour) > 0x50 && GetGValue(colour) < 0xA0 && GetBValue(colour) < 0x40)
          ++orange;
      }
    }
    EXPECT_GT(orange, size * size / 4);

    // Dragged by its surface, like every borderless window.
    RECT before = driver::ScreenRect(window);
    POINT grip{before.left + dlu(300, 0).x, before.top + dlu(0, 100).y};
    driver::MoveMouse(grip.x, grip.y);
    driver::MouseDown();
    driver::MoveMouse(grip.x + 20, grip.y + 10);
    driver::MoveMouse(grip.x + 30, grip.y + 15);
    driver::MouseUp();
    RECT after = driver::ScreenRect(window);
    EXPECT_EQ(after.left - before.left, 30);
    EXPECT_EQ(after.top - before.top, 15);
  }
}
