#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_template.h"
#include "resources/resource_ids.h"
#include "ui/win/dpi.h"
#include "ui/win/gdi_objects.h"
#include "ui/win/subclass_ctrl.h"
#include "ui/win/xwindow.h"
#include "window_driver.h"

namespace {

std::vector<UINT> g_defaulted;
void RecordDefault(HWND, UINT message) { g_defaulted.push_back(message); }

class RecordingWindow : public XWindow {
 public:
  std::vector<std::string> calls;
  std::vector<int> timerValues;
  HBRUSH brush = nullptr;
  LRESULT notifyResult = 0;
  bool eraseHandled = false;
  int preDispatchHits = 0;
  UINT swallow = 0;  // a message PreDispatch answers itself with 55

  void OnCancel() override { calls.push_back("OnCancel"); }
  void OnOk() override { calls.push_back("OnOk"); }
  void OnCommand(int id, HWND, int code) override {
    calls.push_back("OnCommand " + std::to_string(id) + " " + std::to_string(code));
  }
  void OnCreate() override { calls.push_back("OnCreate"); }
  void OnTimer(UINT id, int value) override {
    calls.push_back("OnTimer " + std::to_string(id));
    timerValues.push_back(value);
  }
  HBRUSH OnCtlColorStatic(HDC, HWND) override {
    if (!brush) handled_ = false;
    return brush;
  }
  LRESULT OnNotify(NMHDR*) override { return notifyResult; }
  void OnEraseBackground(HDC) override {
    if (!eraseHandled) handled_ = false;
  }
  LRESULT PreDispatch(HWND, UINT message, WPARAM, LPARAM, bool& handled) override {
    if (message == swallow) {
      ++preDispatchHits;
      handled = true;
      return 55;
    }
    return 0;
  }
};

// A window that overrides nothing.
class PlainWindow : public XWindow {};

HWND MakePopup(XWindow& window, int x = 100, int y = 100) {
  EXPECT_TRUE(window.CreateCustomWindow(WS_POPUP | WS_VISIBLE, 0, nullptr, x, y, x + 200, y + 120));
  return window.Window();
}

}  // namespace

TEST(XWindowRouting, CancelCommandRunsTheSlotThenOnCommand) {
  RecordingWindow window;
  HWND handle = MakePopup(window);
  ASSERT_TRUE(handle);
  window.calls.clear();
  SendMessageW(handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
  ASSERT_EQ(window.calls.size(), 2u);
  EXPECT_EQ(window.calls[0], "OnCancel");
  EXPECT_EQ(window.calls[1], "OnCommand 2 0");

  window.calls.clear();
  SendMessageW(handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_SETFOCUS), 0);
  ASSERT_EQ(window.calls.size(), 1u);
  EXPECT_EQ(window.calls[0], "OnCommand 2 6");

  // Ids outside 1 to 9 reach only OnCommand.
  window.calls.clear();
  SendMessageW(handle, WM_COMMAND, MAKEWPARAM(10, 0), 0);
  ASSERT_EQ(window.calls.size(), 1u);
  EXPECT_EQ(window.calls[0], "OnCommand 10 0");
}

TEST(XWindowRouting, CommandNeverReachesDefaultProcessing) {
  PlainWindow window;
  HWND handle = MakePopup(window);
  ASSERT_TRUE(handle);
  g_defaulted.clear();
  XWindow::SetDefaultObserver(RecordDefault);
  SendMessageW(handle, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
  SendMessageW(handle, WM_COMMAND, MAKEWPARAM(1234, EN_CHANGE), 0);
  SendMessageW(handle, WM_CLOSE, 0, 0);  // the base clears: default processing
  XWindow::SetDefaultObserver(nullptr);
  // WM_CLOSE goes on to DefWindowProcW (which destroys the window and sends
  // more messages); neither WM_COMMAND does.
  ASSERT_FALSE(g_defaulted.empty());
  EXPECT_EQ(g_defaulted[0], static_cast<UINT>(WM_CLOSE));
  for (UINT message : g_defaulted) EXPECT_NE(message, static_cast<UINT>(WM_COMMAND));
}

TEST(XWindowRouting, PreDispatchAnswersFirst) {
  RecordingWindow window;
  HWND handle = MakePopup(window);
  window.swallow = WM_COMMAND;
  window.calls.clear();
  EXPECT_EQ(SendMessageW(handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0), 55);
  EXPECT_EQ(window.preDispatchHits, 1);
  EXPECT_TRUE(window.calls.empty());
}

TEST(XWindowRouting, DialogResultsGoThroughTheMessageResult) {
  DialogTemplate dialog(u"Routing", 10, 10, 120, 60);
  dialog.AddControl(0x0082, u"label", 100, 5, 5, 60, 10, SS_LEFT);
  RecordingWindow window;
  ASSERT_EQ(window.RunDialogIndirect(dialog.Get(), nullptr, false), 1);
  HWND handle = window.Window();
  ASSERT_TRUE(handle);
  EXPECT_TRUE(window.IsDialog());
  ASSERT_FALSE(window.calls.empty());
  EXPECT_EQ(window.calls[0], "OnCreate");

  NMHDR header{handle, 100, 0};
  window.notifyResult = 77;
  EXPECT_EQ(SendMessageW(handle, WM_NOTIFY, 100, reinterpret_cast<LPARAM>(&header)), 77);

  // A control-colour brush comes back as the procedure's own result.
  window.brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  HWND label = GetDlgItem(handle, 100);
  HDC dc = GetDC(label);
  EXPECT_EQ(SendMessageW(handle, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label)),
            reinterpret_cast<LRESULT>(window.brush));
  ReleaseDC(label, dc);

  window.swallow = WM_APP + 5;
  EXPECT_EQ(SendMessageW(handle, WM_APP + 5, 0, 0), 55);
  window.Unbind();
  EXPECT_EQ(XWindow::Lookup(handle), nullptr);
}

TEST(XWindowRouting, EraseHandledReturnsOne) {
  RecordingWindow window;
  HWND handle = MakePopup(window);
  HDC dc = GetDC(handle);
  window.eraseHandled = true;
  EXPECT_EQ(SendMessageW(handle, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
  ReleaseDC(handle, dc);
}

TEST(XWindowDialog, ModalDialogReturnsItsResult) {
  struct Closing : XWindow {
    void OnCreate() override { AddTimer(30); }
    void OnTimer(UINT, int) override { CloseDialog(5); }
  } window;
  DialogTemplate dialog(u"Modal", 10, 10, 100, 50);
  EXPECT_EQ(window.RunDialogIndirect(dialog.Get(), nullptr, true), 5);
  // An ended dialog stays registered until the object unbinds; a destroyed
  // window is not found by its handle any more.
  EXPECT_EQ(XWindow::Lookup(window.Window()), nullptr);
  int before = XWindow::RegistryCount();
  window.Unbind();
  EXPECT_EQ(XWindow::RegistryCount(), before - 1);
}

TEST(XWindowTimers, IdsFollowTheLargestRunningId) {
  RecordingWindow window;
  MakePopup(window);
  EXPECT_EQ(window.AddTimer(10000), 1u);
  EXPECT_EQ(window.AddTimer(10000), 2u);
  window.RemoveTimer(2);
  EXPECT_EQ(window.AddTimer(10000), 2u);
  window.RemoveTimer(1);
  EXPECT_EQ(window.AddTimer(10000), 3u);
  PlainWindow unbound;
  EXPECT_EQ(unbound.AddTimer(10), 0u);
}

TEST(XWindowTimers, OnTimerGetsTheUserValueAndForeignTimersNothing) {
  RecordingWindow window;
  HWND handle = MakePopup(window);
  UINT id = window.AddTimer(20);
  window.SetTimerValue(id, 42);
  SetTimer(handle, 999, 20, nullptr);  // not in the table
  ASSERT_TRUE(driver::WaitFor([&] { return !window.timerValues.empty(); }, 3000));
  driver::Pump(100);
  KillTimer(handle, 999);
  EXPECT_EQ(window.timerValues[0], 42);
  for (const std::string& call : window.calls) EXPECT_NE(call, "OnTimer 999");
}

TEST(XWindowGeometry, MoveToKeepsACoordinateGivenAsLastPosition) {
  PlainWindow window;
  HWND handle = MakePopup(window, 120, 130);
  ASSERT_TRUE(handle);
  window.MoveTo(-12345, 40);
  RECT rect = window.WindowRect();
  EXPECT_EQ(rect.left, 120);
  EXPECT_EQ(rect.top, 40);
  EXPECT_EQ(window.Width(), 200);
  EXPECT_EQ(window.Height(), 120);
  window.MoveTo(60, -12345);
  rect = window.WindowRect();
  EXPECT_EQ(rect.left, 60);
  EXPECT_EQ(rect.top, 40);
  PlainWindow unbound;
  EXPECT_EQ(unbound.Width(), 0);
  EXPECT_FALSE(unbound.IsMinimised());
}

TEST(XWindowGeometry, DialogUnitsFollowTheDialogFont) {
  DialogTemplate dialog(u"Units", 10, 10, 100, 50);
  PlainWindow window;
  ASSERT_EQ(window.RunDialogIndirect(dialog.Get(), nullptr, false), 1);
  RECT probe{4, 8, 0, 0};
  MapDialogRect(window.Window(), &probe);
  EXPECT_EQ(window.DluToPixelsX(4), probe.left);
  EXPECT_EQ(window.DluToPixelsY(8), probe.top);
  EXPECT_GT(window.DluToPixelsX(100), 100);
}

TEST(XWindowClasses, EachCustomWindowRegistersItsOwnClass) {
  PlainWindow first, second;
  MakePopup(first);
  MakePopup(second);
  ASSERT_TRUE(first.ClassName().StartsWith(WideString(u"XWnd")));
  int n = static_cast<int>(first.ClassName().From(5).ParseInteger());
  EXPECT_EQ(second.ClassName(), WideString::Format(u"XWnd%d", n + 1));
  EXPECT_EQ(driver::ClassOf(first.Window()), first.ClassName());
  WideString name = first.ClassName();
  WNDCLASSEXW info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), name.W(), &info));
  EXPECT_EQ(info.style, static_cast<UINT>(CS_OWNDC | CS_DBLCLKS));
  first.Unbind();
  EXPECT_TRUE(first.ClassName().IsEmpty());
  EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr), name.W(), &info));
  EXPECT_EQ(first.Window(), nullptr);
}

TEST(XWindowRegistry, LookupFindsBoundWindowsOnly) {
  int before = XWindow::RegistryCount();
  {
    PlainWindow window;
    HWND handle = MakePopup(window);
    EXPECT_EQ(XWindow::Lookup(handle), &window);
    EXPECT_EQ(XWindow::RegistryCount(), before + 1);
  }
  EXPECT_EQ(XWindow::RegistryCount(), before);
  EXPECT_EQ(XWindow::Lookup(nullptr), nullptr);
}

TEST(Dpi, ScalingAt144) {
  SetScreenDpiForTesting(144);
  EXPECT_EQ(XWindow::ScaleForDpi(21), 31);
  EXPECT_EQ(XWindow::ScaleLowWordForDpi(0x00010010), 0x00010018u);
  EXPECT_EQ(DisplayScalePercent(), 150);
  SetScreenDpiForTesting(0);
  EXPECT_EQ(ScreenDpi(), 96);  // the test prefix runs at 96 DPI
  EXPECT_EQ(XWindow::ScaleForDpi(21), 21);
}

TEST(Dpi, PickByScaleAcrossTheBuckets) {
  const int dpis[] = {96, 120, 144, 192, 288};
  const int expected[] = {105, 106, 107, 128, 129};
  for (int i = 0; i < 5; ++i) {
    SetScreenDpiForTesting(dpis[i]);
    EXPECT_EQ(PickByScale(105, 107, 128, 106), expected[i]) << dpis[i];
  }
  SetScreenDpiForTesting(0);
}

// Icons come at the size of the scale's bucket, loaded at exactly that size
// from icon files that hold every size.
TEST(Dpi, IconSizesFollowTheScaleAndLoadExactly) {
  const struct {
    int dpi, option, status;
  } rows[] = {{96, 16, 75}, {120, 20, 94}, {144, 24, 112}, {192, 32, 150}, {288, 48, 256}};
  for (const auto& row : rows) {
    SetScreenDpiForTesting(row.dpi);
    EXPECT_EQ(OptionIconSize(), row.option) << row.dpi;
    EXPECT_EQ(StatusIconSize(), row.status) << row.dpi;
    for (int size : {row.option, row.status}) {
      HICON icon = LoadIconAtSize(IDI_RESTART, size);
      ASSERT_NE(icon, nullptr) << size;
      EXPECT_EQ(IconWidth(icon), size);
      EXPECT_EQ(IconHeight(icon), size);
      DestroyIcon(icon);
    }
  }
  SetScreenDpiForTesting(0);
  EXPECT_EQ(LoadIconAtSize(4242, 16), nullptr);
}

namespace {

class TextSpy : public XSubClassCtrl {
 public:
  int setTexts = 0;
  bool block = false;
  LRESULT ControlHook(HWND, UINT message, WPARAM, LPARAM, bool& handled) override {
    if (message == WM_SETTEXT) {
      ++setTexts;
      if (block) {
        handled = true;
        return TRUE;
      }
    }
    return 0;
  }
};

}  // namespace

TEST(XSubClassCtrl, HookSeesMessagesAndUnbindRestores) {
  PlainWindow window;
  HWND parent = MakePopup(window);
  HWND label = CreateWindowExW(0, L"STATIC", L"one", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, parent, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  LONG_PTR original = GetWindowLongPtrW(label, GWLP_WNDPROC);
  TextSpy spy;
  ASSERT_TRUE(spy.Bind(label));
  SetWindowTextW(label, L"two");
  EXPECT_EQ(spy.setTexts, 1);
  EXPECT_EQ(driver::TextOf(label), WideString(u"two"));
  spy.block = true;
  SetWindowTextW(label, L"three");
  EXPECT_EQ(driver::TextOf(label), WideString(u"two"));
  spy.Unbind();
  EXPECT_EQ(GetWindowLongPtrW(label, GWLP_WNDPROC), original);
  EXPECT_EQ(GetWindowLongPtrW(label, GWLP_USERDATA), 0);
  SetWindowTextW(label, L"four");
  EXPECT_EQ(spy.setTexts, 2);
  EXPECT_FALSE(spy.Bind(nullptr));
}
