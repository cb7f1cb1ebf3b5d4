#include <gtest/gtest.h>

#include "dialog_template.h"
#include "test_images.h"
#include "ui/win/text_font.h"
#include "ui/win/tool_tip.h"
#include "ui/win/value_list.h"
#include "ui/win/xbutton.h"
#include "ui/win/xwindow.h"
#include "window_driver.h"

namespace {

constexpr int kOtherButton = 1003;
constexpr int kButtonSize = 22;

class CountingButton : public XButton {
 public:
  int clicks = 0, presses = 0, outside = 0, lastButton = -1;
  void OnClick(int button) override {
    ++clicks;
    lastButton = button;
  }
  void OnPress(int) override { ++presses; }
  void OnReleaseOutside(int) override { ++outside; }
};

struct RowChanges {
  int count = 0;
  int lastIndex = -1;
};

void CountChange(XValueList&, int index, void* user) {
  auto* changes = static_cast<RowChanges*>(user);
  ++changes->count;
  changes->lastIndex = index;
}

// A modeless dialog with a default push button, another push button, one
// bitmap button with a tool tip and a check list.
class ControlsDialog : public XWindow {
 public:
  ButtonGroup group;
  CountingButton button;
  XValueList list;
  HICON icons[4]{};
  RowChanges changes;
  int oks = 0;

  ~ControlsDialog() override {
    Unbind();
    for (HICON icon : icons) DestroyIcon(icon);
  }

  void OnCreate() override {
    group.Start(Window());
    ButtonRecord record;
    record.x = 300;
    record.y = 10;
    record.toolTipText = u"Close";
    group.AddWithStrip(button, record, MakeButtonStrip(kButtonSize), Window());

    const COLORREF colours[4] = {0x008000, 0xFFFFFF, 0x80C080, 0xE0E0E0};
    for (int i = 0; i < 4; ++i) icons[i] = MakeSolidIcon(16, colours[i]);
    list.SetStateIcons(icons[0], icons[1], icons[2], icons[3]);
    list.Create(Window(), 10, 60, 300, 120);
    const char16_t* names[] = {u"Restart Computer", u"Create Icon: Tool", u"Disabled row", u"Run Program: Tool"};
    for (int i = 0; i < 4; ++i) {
      ValueRow row;
      row.kind = kRowCheck;
      row.name = names[i];
      row.value = i == 0 ? u"1" : u"0";
      row.disabled = i == 2;
      row.onChange = CountChange;
      row.userValue = &changes;
      list.AddRow(row);
    }
  }
  void OnDestroy() override {
    group.Stop();
    list.Destroy();
    handled_ = false;
  }
  void OnOk() override { ++oks; }
  LRESULT PreDispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override {
    LRESULT result = group.Filter(window, message, wParam, lParam, handled);
    if (handled) return result;
    return list.Filter(window, message, wParam, lParam, handled);
  }
};

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    DialogTemplate dialog(u"Controls", 20, 20, 260, 140,
                          WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_SETFONT | DS_MODALFRAME);
    dialog.AddControl(0x0080, u"Other", kOtherButton, 10, 110, 50, 14, BS_PUSHBUTTON | WS_TABSTOP);
    dialog.AddControl(0x0080, u"OK", IDOK, 70, 110, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP);
    ASSERT_EQ(window_.RunDialogIndirect(dialog.Get(), nullptr, false), 1);
    SetForegroundWindow(window_.Window());
    driver::Pump(100);
    control_ = window_.button.Control();
    ASSERT_TRUE(control_);
  }
  void TearDown() override {
    driver::MoveMouse(5, 1000);
    window_.Unbind();
  }
  POINT Away() const {  // a point of the dialog away from every control
    RECT rect = driver::ScreenRect(window_.Window());
    return POINT{rect.left + 200, rect.bottom - 8};
  }
  // Client point of list row index at x.
  POINT RowPoint(int index, int x) const {
    RECT item{};
    SendMessageW(window_.list.Control(), LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    POINT point{x, (item.top + item.bottom) / 2};
    ClientToScreen(window_.list.Control(), &point);
    return point;
  }

  ControlsDialog window_;
  HWND control_ = nullptr;
};

}  // namespace

TEST_F(Controls, ReleasingOffTheButtonIsNotAClick) {
  POINT centre = driver::CentreOf(control_);
  POINT away = Away();
  driver::MoveMouse(centre.x, centre.y);
  driver::MouseDown();
  EXPECT_EQ(window_.button.presses, 1);
  EXPECT_EQ(window_.button.State(), kButtonPressed);
  EXPECT_EQ(driver::WindowPixel(control_, 10, 10), kPressedColour);
  driver::MoveMouse(away.x, away.y);
  EXPECT_EQ(window_.button.State(), kButtonNormal);
  driver::MouseUp();
  EXPECT_EQ(window_.button.outside, 1);
  EXPECT_EQ(window_.button.clicks, 0);

  // Off and back on before the release: a click.
  driver::MoveMouse(centre.x, centre.y);
  driver::MouseDown();
  driver::MoveMouse(away.x, away.y);
  driver::MoveMouse(centre.x, centre.y);
  driver::MouseUp();
  EXPECT_EQ(window_.button.clicks, 1);
  EXPECT_EQ(window_.button.lastButton, 0);
  EXPECT_EQ(window_.button.outside, 1);
  EXPECT_EQ(window_.button.State(), kButtonHover);
  EXPECT_EQ(driver::WindowPixel(control_, 10, 10), kHoverColour);

  // The right button clicks too, reported as 1.
  driver::MouseDown(true);
  driver::MouseUp(true);
  EXPECT_EQ(window_.button.clicks, 2);
  EXPECT_EQ(window_.button.lastButton, 1);
}

TEST_F(Controls, DisabledButtonStaysNormal) {
  window_.button.Disable();
  POINT centre = driver::CentreOf(control_);
  driver::MoveMouse(centre.x, centre.y);
  driver::Pump(150);
  EXPECT_EQ(window_.button.State(), kButtonNormal);
  driver::MouseDown();
  driver::MouseUp();
  EXPECT_EQ(window_.button.clicks, 0);
}

TEST_F(Controls, EnterAndSpaceClickTheFocusedButtonNotTheDefault) {
  SetFocus(control_);
  driver::Pump(50);
  ASSERT_EQ(GetFocus(), control_);
  driver::PressKey(VK_RETURN);
  EXPECT_EQ(window_.button.clicks, 1);
  EXPECT_EQ(window_.oks, 0);
  driver::PressKey(VK_SPACE);
  EXPECT_EQ(window_.button.clicks, 2);
  EXPECT_EQ(window_.button.presses, 2);
  EXPECT_EQ(window_.oks, 0);
  // With the focus on another push button Enter reaches the default button.
  SetFocus(GetDlgItem(window_.Window(), kOtherButton));
  driver::Pump(50);
  driver::PressKey(VK_RETURN);
  EXPECT_EQ(window_.oks, 1);
  EXPECT_EQ(window_.button.clicks, 2);
}

TEST_F(Controls, FocusFrameOnlyAfterTab) {
  SetFocus(control_);
  driver::Pump(50);
  ASSERT_EQ(GetFocus(), control_);
  EXPECT_FALSE(window_.button.FocusCue());
  EXPECT_NE(driver::WindowPixel(control_, 0, 0), kFocusColour);
  SetFocus(GetDlgItem(window_.Window(), IDOK));
  driver::Pump(50);
  driver::PressKey(VK_TAB);  // from OK, the last template control, to the bitmap button
  ASSERT_EQ(GetFocus(), control_);
  EXPECT_TRUE(window_.button.FocusCue());
  EXPECT_EQ(driver::WindowPixel(control_, 0, 0), kFocusColour);
  EXPECT_EQ(driver::WindowPixel(control_, 10, 10), kNormalColour);
  // Once on, the cue stays for later focus changes.
  SetFocus(GetDlgItem(window_.Window(), IDOK));
  driver::Pump(50);
  EXPECT_NE(driver::WindowPixel(control_, 0, 0), kFocusColour);
  SetFocus(control_);
  driver::Pump(50);
  EXPECT_EQ(driver::WindowPixel(control_, 0, 0), kFocusColour);
}

TEST_F(Controls, ToolTipShowsAfterTheDelayAndHidesWhenTheCursorLeaves) {
  XToolTip* tip = window_.button.ToolTip();
  ASSERT_NE(tip, nullptr);
  EXPECT_GE(XToolTip::RegisteredCount(), 1);
  EXPECT_FALSE(tip->IsShown());
  POINT centre = driver::CentreOf(control_);
  driver::MoveMouse(centre.x - 3, centre.y);
  DWORD entered = GetTickCount();
  driver::Pump(300);
  driver::MoveMouse(centre.x + 3, centre.y);  // moving inside does not restart the delay
  ASSERT_TRUE(driver::WaitFor([&] { return tip->IsShown(); }, 4000));
  DWORD delay = GetTickCount() - entered;
  EXPECT_GE(delay, 800u);
  EXPECT_LE(delay, 2500u);

  // Above the button, owned by this process, showing the text.
  HWND popup = tip->Window();
  RECT popupRect = driver::ScreenRect(popup);
  RECT buttonRect = driver::ScreenRect(control_);
  EXPECT_LE(popupRect.bottom, buttonRect.top);
  EXPECT_GT(popupRect.right - popupRect.left, 20);
  EXPECT_TRUE(driver::ClassOf(popup).StartsWith(WideString(u"XWnd")));
  EXPECT_TRUE(GetWindowLongW(popup, GWL_EXSTYLE) & WS_EX_TOPMOST);

  POINT away = Away();
  driver::MoveMouse(away.x, away.y);
  EXPECT_TRUE(driver::WaitFor([&] { return !tip->IsShown(); }, 2000));
}

TEST_F(Controls, CheckListTickingRules) {
  HWND list = window_.list.Control();
  auto rows = driver::ListRows(list);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].text, WideString(u"Restart Computer"));
  EXPECT_TRUE(rows[0].ticked);
  EXPECT_FALSE(rows[1].ticked);
  EXPECT_TRUE(rows[2].disabled);
  EXPECT_TRUE(window_.list.IsTicked(0));
  EXPECT_FALSE(window_.list.IsTicked(7));

  const int boxX = 28 + 8;
  const int textX = 28 + 16 + 40;
  // The text of a row that is not selected: selects, does not toggle.
  POINT text1 = RowPoint(1, textX);
  driver::ClickAt(text1.x, text1.y);
  EXPECT_EQ(driver::ListSelection(list), 1);
  EXPECT_FALSE(driver::ListRows(list)[1].ticked);
  // Anywhere in the selected row: toggles.
  driver::ClickAt(text1.x, text1.y);
  EXPECT_TRUE(driver::ListRows(list)[1].ticked);
  EXPECT_EQ(window_.changes.count, 1);
  EXPECT_EQ(window_.changes.lastIndex, 1);
  // The box of a row that is not selected: toggles.
  POINT box3 = RowPoint(3, boxX);
  driver::ClickAt(box3.x, box3.y);
  EXPECT_TRUE(driver::ListRows(list)[3].ticked);
  EXPECT_EQ(driver::ListSelection(list), 3);
  // Space toggles the selected row.
  SetFocus(list);
  driver::Pump(30);
  driver::PressKey(VK_SPACE);
  EXPECT_FALSE(driver::ListRows(list)[3].ticked);
  EXPECT_EQ(window_.changes.count, 3);
  // Up moves the selection by one row.
  driver::PressKey(VK_UP);
  EXPECT_EQ(driver::ListSelection(list), 2);
  // A disabled row never toggles: box, selected row or Space.
  POINT box2 = RowPoint(2, boxX);
  driver::ClickAt(box2.x, box2.y);
  driver::ClickAt(box2.x, box2.y);
  SetFocus(list);
  driver::PressKey(VK_SPACE);
  EXPECT_FALSE(driver::ListRows(list)[2].ticked);
  EXPECT_EQ(window_.changes.count, 3);
  // Home and End move on key-up.
  driver::PressKey(VK_HOME);
  EXPECT_EQ(driver::ListSelection(list), 0);
  driver::PressKey(VK_END);
  EXPECT_EQ(driver::ListSelection(list), 3);
}

TEST_F(Controls, ToolTipThatWouldLeaveTheTopGoesBelowItsControl) {
  RECT dialog = driver::ScreenRect(window_.Window());
  RECT button = driver::ScreenRect(control_);
  // Put the button's top 4 px below the top of the screen.
  SetWindowPos(window_.Window(), nullptr, dialog.left, dialog.top - (button.top - 4), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER);
  driver::Pump(50);
  button = driver::ScreenRect(control_);
  ASSERT_EQ(button.top, 4);
  POINT centre = driver::CentreOf(control_);
  driver::MoveMouse(centre.x, centre.y);
  XToolTip* tip = window_.button.ToolTip();
  ASSERT_TRUE(driver::WaitFor([&] { return tip->IsShown(); }, 4000));
  RECT popup = driver::ScreenRect(tip->Window());
  EXPECT_GE(popup.top, button.bottom);
  EXPECT_LE(popup.top, button.bottom + 2);
}

TEST(ToolTipTiming, FadesThenHidesUntilTheCursorLeaves) {
  struct Plain : XWindow {} window;
  ASSERT_TRUE(window.CreateCustomWindow(WS_POPUP | WS_VISIBLE, 0, nullptr, 300, 300, 500, 400));
  XToolTip tip;
  ToolTipDescription description;
  description.rectWindow = window.Window();
  description.anchorRect = RECT{20, 20, 120, 80};
  description.showDelay = 200;
  description.displayTime = 1500;  // fade of 500 ms from 1000 ms
  ToolTipText text;
  text.text = u"Timing";
  description.texts.push_back(text);
  tip.Register(description);

  driver::MoveMouse(300 + 60, 300 + 50);
  ASSERT_TRUE(driver::WaitFor([&] { return tip.IsShown(); }, 3000));
  DWORD shown = GetTickCount();
  HWND popup = tip.Window();
  EXPECT_TRUE(GetWindowLongW(popup, GWL_EXSTYLE) & WS_EX_LAYERED);
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(popup, nullptr, &alpha, &flags));
  EXPECT_EQ(alpha, 255);
  // Fading: somewhere after 1000 ms the alpha drops below 255.
  bool faded = driver::WaitFor(
      [&] { return tip.IsShown() && GetLayeredWindowAttributes(popup, nullptr, &alpha, &flags) && alpha < 255; },
      1600);
  EXPECT_TRUE(faded);
  EXPECT_GE(GetTickCount() - shown, 900u);
  // Gone after the display time, with the cursor still inside.
  EXPECT_TRUE(driver::WaitFor([&] { return !tip.IsShown(); }, 3000));
  driver::Pump(600);
  EXPECT_FALSE(tip.IsShown());
  // Leaving and coming back shows it again.
  driver::MoveMouse(5, 1000);
  driver::Pump(200);
  driver::MoveMouse(300 + 50, 300 + 40);
  EXPECT_TRUE(driver::WaitFor([&] { return tip.IsShown(); }, 3000));
  tip.Unregister();
  EXPECT_FALSE(tip.IsShown());
  EXPECT_FALSE(tip.IsRegistered());
}

TEST(ButtonGroupTimers, EachGroupGetsTheNextHoverTimer) {
  struct Plain : XWindow {} window;
  ASSERT_TRUE(window.CreateCustomWindow(WS_POPUP, 0, nullptr, 0, 0, 100, 100));
  ButtonGroup first, second;
  first.Start(window.Window());
  second.Start(window.Window());
  EXPECT_GE(first.TimerId(), 7788u);
  EXPECT_EQ(second.TimerId(), first.TimerId() + 1);
  // The group's timer ticks reach the group through the owner's filter only.
  struct Filtered : XWindow {
    ButtonGroup group;
    LRESULT PreDispatch(HWND w, UINT m, WPARAM wp, LPARAM lp, bool& handled) override {
      return group.Filter(w, m, wp, lp, handled);
    }
  } owner;
  ASSERT_TRUE(owner.CreateCustomWindow(WS_POPUP, 0, nullptr, 0, 0, 100, 100));
  owner.group.Start(owner.Window());
  EXPECT_TRUE(driver::WaitFor([&] { return owner.group.Ticks() >= 3; }, 3000));
  owner.group.Stop();
  second.Stop();
  first.Stop();
}

TEST(ButtonGroupTimers, MissingStripGivesAnEmptyButton) {
  struct Plain : XWindow {} window;
  ASSERT_TRUE(window.CreateCustomWindow(WS_POPUP, 0, nullptr, 0, 0, 100, 100));
  ButtonGroup group;
  XButton button;
  ButtonRecord record;
  record.flags = kButtonFocusFrame;  // not the default: no overlay
  EXPECT_TRUE(group.Add(button, record, 4242, window.Window()));
  EXPECT_TRUE(button.Control());
  EXPECT_EQ(button.FrameWidth(), 0);
  EXPECT_EQ(button.Flags(), kButtonFocusFrame);
  EXPECT_TRUE(GetWindowLongW(button.Control(), GWL_STYLE) & WS_TABSTOP);
  group.Stop();
  EXPECT_EQ(button.Control(), nullptr);
}

TEST(ToolTipTiming, FixedPointToolTipIsVisibleWhenRegisterReturns) {
  XToolTip tip;
  ToolTipDescription description;
  description.fixedPoint = true;
  description.point = POINT{400, 300};
  description.kind = 1;
  description.noFade = true;
  ToolTipText text;
  text.text = u"Fixed";
  description.texts.push_back(text);
  tip.Register(description);
  EXPECT_TRUE(tip.IsShown());
  EXPECT_FALSE(GetWindowLongW(tip.Window(), GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_TRUE(GetWindowLongW(tip.Window(), GWL_STYLE) & WS_DLGFRAME);
  tip.Unregister();
  EXPECT_FALSE(tip.IsShown());
  EXPECT_EQ(XToolTip::RegisteredCount(), 0);
}

// The pop-up is its content's extent plus 2 x 4 px, or 8 x 10 px framed; a
// text tip's text starts 5 px from the left.
TEST(ToolTipLayout, WindowIsTheContentPlusTheMargins) {
  const WideString words(u"Close this window");
  TextFont font;
  ASSERT_TRUE(font.Create(nullptr, u"Tahoma", XWindow::ScaleForDpi(14), 0));
  ScreenDC screen;
  int textWidth = font.TextWidth(words, false, -1, screen.Get());
  int textHeight = font.TextHeight(words, false, screen.Get());
  ASSERT_GT(textWidth, 20);
  for (int kind = 0; kind <= 1; ++kind) {
    XToolTip tip;
    ToolTipDescription description;
    description.fixedPoint = true;
    description.point = POINT{300, 300};
    description.kind = kind;
    description.noFade = true;
    ToolTipText text;
    text.text = words;
    description.texts.push_back(text);
    tip.Register(description);
    ASSERT_TRUE(tip.IsShown()) << kind;
    RECT rect = driver::ScreenRect(tip.Window());
    int top = kind == 1 ? 4 : 3;  // where this toolkit puts the first text line
    EXPECT_EQ(rect.right - rect.left, 5 + textWidth + (kind == 1 ? 8 : 2)) << kind;
    EXPECT_EQ(rect.bottom - rect.top, top + textHeight + (kind == 1 ? 10 : 4)) << kind;
    tip.Unregister();
  }
}
