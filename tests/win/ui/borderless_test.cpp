#include <gtest/gtest.h>

#include "dialog_template.h"
#include "ui/win/borderless_frame.h"
#include "ui/win/value_list.h"
#include "ui/win/xwindow.h"
#include "window_driver.h"

namespace {

// The borderless pattern as the framed windows use it.
class FramedDialog : public XWindow {
 public:
  BorderlessFrame frame;
  ~FramedDialog() override { Unbind(); }
  void OnCreate() override { frame.Attach(*this); }
  void OnEraseBackground(HDC dc) override { frame.Erase(dc); }
  HBRUSH OnCtlColorStatic(HDC, HWND) override { return frame.Brush(); }
  HBRUSH OnCtlColorDialog(HDC) override { return frame.Brush(); }
  void OnMouseDown(int, int, UINT, WPARAM) override { frame.MouseDown(Window()); }
  void OnMouseMove(int, int, WPARAM) override { frame.MouseMove(*this); }
  void OnMouseUp(int, int, UINT, WPARAM) override { frame.MouseUp(); }
};

}  // namespace

TEST(Borderless, RoundedShadowedWhiteAndDraggedByItsSurface) {
  DialogTemplate dialog(u"", 40, 40, 200, 120, WS_POPUP | WS_VISIBLE | DS_SETFONT);
  dialog.AddControl(0x0082, u"label", 100, 10, 60, 60, 10, SS_LEFT);
  FramedDialog window;
  ASSERT_EQ(window.RunDialogIndirect(dialog.Get(), nullptr, false), 1);
  HWND handle = window.Window();
  driver::Pump(100);

  EXPECT_TRUE(GetClassLongPtrW(handle, GCL_STYLE) & CS_DROPSHADOW);
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(handle, region), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(region, 1, 1));  // the corner is cut off
  EXPECT_TRUE(PtInRegion(region, 30, 30));
  DeleteObject(region);
  EXPECT_EQ(window.frame.Background().Width(), window.Width());
  EXPECT_EQ(driver::WindowPixel(handle, window.Width() / 2, window.Height() / 2), 0xFFFFFFu);
  HWND label = GetDlgItem(handle, 100);
  HDC dc = GetDC(label);
  EXPECT_EQ(SendMessageW(handle, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label)),
            reinterpret_cast<LRESULT>(window.frame.Brush()));
  ReleaseDC(label, dc);

  RECT before = window.WindowRect();
  POINT grip{before.left + 150, before.top + 40};
  driver::MoveMouse(grip.x, grip.y);
  driver::MouseDown();
  EXPECT_TRUE(window.frame.Dragging());
  driver::MoveMouse(grip.x + 30, grip.y + 20);
  driver::MoveMouse(grip.x + 45, grip.y + 25);
  driver::MouseUp();
  EXPECT_FALSE(window.frame.Dragging());
  RECT after = window.WindowRect();
  EXPECT_EQ(after.left - before.left, 45);
  EXPECT_EQ(after.top - before.top, 25);
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  driver::MoveMouse(5, 1000);
}

namespace {

class ListDialog : public XWindow {
 public:
  XValueList list;
  ~ListDialog() override { Unbind(); }
  void OnCreate() override {
    list.Create(Window(), 10, 10, 300, 100);
    ValueRow edit;
    edit.kind = kRowEdit;
    edit.name = u"Folder";
    edit.value = u"C:\\Tools";
    list.AddRow(edit);
    ValueRow radio;
    radio.kind = kRowRadio;
    radio.name = u"First";
    radio.value = u"-1";
    list.AddRow(radio);
    radio.name = u"Second";
    radio.value = u"0";
    list.AddRow(radio);
    ValueRow heading;
    heading.kind = kRowHeading;
    heading.name = u"Heading";
    heading.value = u"1";
    list.AddRow(heading);
  }
  void OnDestroy() override {
    list.Destroy();
    handled_ = false;
  }
  LRESULT PreDispatch(HWND w, UINT m, WPARAM wp, LPARAM lp, bool& handled) override {
    return list.Filter(w, m, wp, lp, handled);
  }
};

}  // namespace

TEST(ValueListRows, ValueRulesAndTheInPlaceEditor) {
  DialogTemplate dialog(u"Rows", 40, 40, 220, 100, WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_SETFONT);
  ListDialog window;
  ASSERT_EQ(window.RunDialogIndirect(dialog.Get(), nullptr, false), 1);
  XValueList& list = window.list;
  EXPECT_FALSE(list.IsTicked(0));  // edited rows have no tick
  EXPECT_TRUE(list.IsTicked(1));   // radio: negative value
  EXPECT_FALSE(list.IsTicked(2));
  EXPECT_FALSE(list.IsTicked(3));  // headings: never
  EXPECT_FALSE(list.IsTicked(-1));

  // Space on a radio row sets it and clears the other.
  HWND control = list.Control();
  SendMessageW(control, LB_SETCURSEL, 2, 0);
  SetForegroundWindow(window.Window());
  SetFocus(control);
  driver::PressKey(VK_SPACE);
  EXPECT_TRUE(list.IsTicked(2));
  EXPECT_FALSE(list.IsTicked(1));

  // Selecting the edited row opens an EDIT over its value column; leaving it
  // stores the text.
  SendMessageW(control, LB_SETCURSEL, 0, 0);
  SendMessageW(window.Window(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(control));
  HWND edit = driver::FindChild(control, u"Edit", u"");
  ASSERT_TRUE(edit);
  EXPECT_EQ(driver::TextOf(edit), WideString(u"C:\\Tools"));
  SetFocus(edit);
  SetWindowTextW(edit, L"D:\\Apps");
  SetFocus(control);
  EXPECT_EQ(list.Row(0)->value, WideString(u"D:\\Apps"));
  SendMessageW(control, LB_SETCURSEL, 1, 0);
  SendMessageW(window.Window(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(control));
  EXPECT_EQ(driver::FindChild(control, u"Edit", u""), nullptr);
}

namespace {

class DefaultPlacedList : public XWindow {
 public:
  XValueList list;
  ~DefaultPlacedList() override { Unbind(); }
  void OnCreate() override { list.Create(Window()); }
  void OnDestroy() override {
    list.Destroy();
    handled_ = false;
  }
  LRESULT PreDispatch(HWND w, UINT m, WPARAM wp, LPARAM lp, bool& handled) override {
    return list.Filter(w, m, wp, lp, handled);
  }
};

}  // namespace

// Position and size are each converted on their own, as DluToPixelsX and
// DluToPixelsY convert them; converting the corners rounds differently for
// some dialog fonts.
TEST(ValueListRows, DefaultPlaceIsConvertedValueByValue) {
  for (int points = 6; points <= 12; ++points) {
    DialogTemplate dialog(u"Place", 0, 0, 399, 238, WS_POPUP | WS_VISIBLE | DS_SETFONT, points);
    DefaultPlacedList window;
    ASSERT_EQ(window.RunDialogIndirect(dialog.Get(), nullptr, false), 1);
    HWND list = window.list.Control();
    ASSERT_TRUE(list);
    RECT rect = driver::ScreenRect(list);
    MapWindowPoints(nullptr, window.Window(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, window.DluToPixelsX(25)) << points;
    EXPECT_EQ(rect.top, window.DluToPixelsY(135)) << points;
    EXPECT_EQ(rect.right - rect.left, window.DluToPixelsX(348)) << points;
    EXPECT_EQ(rect.bottom - rect.top, window.DluToPixelsY(70)) << points;
    window.Unbind();
  }
}
