#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/install_state.h"
#include "payload/win/payload_context.h"
#include "payload_builder.h"
#include "resources/resource_ids.h"
#include "test_folder.h"
#include "ui/win/dpi.h"
#include "util/win/worker_thread.h"
#include "window_driver.h"
#include "wizard/win/license_window.h"

using W = WideString;

namespace {

// A payload whose script names the product, with setup.lic when given.
class LicencePayload {
 public:
  explicit LicencePayload(const std::string* licence) {
    ResetInstallState();
    State().InstallerTitle = u"Tool Installer";
    std::vector<std::pair<std::string, std::string>> members{{"setup.dat", "[Project Name]\r\nTool\r\n"}};
    if (licence) members.push_back({"setup.lic", *licence});
    bytes_ = BuildTestPayload(members);
    bool failed = false;
    payload_.OpenFromMemory(bytes_.data(), bytes_.size(), &failed);
    PublishPayload(&payload_);
  }
  ~LicencePayload() { PublishPayload(nullptr); }

 private:
  std::vector<uint8_t> bytes_;
  PayloadContext payload_;
};

// The modal window runs on a thread of its own while the test acts on it as
// a user would.
class LicenceRun {
 public:
  LicenceRun() {
    thread_.Start(Body, this, 10000);
    dialog_ = driver::WaitForDialogWithControl(IDC_LICENSE_TEXT, 5000);
    if (dialog_) {
      SetForegroundWindow(dialog_);
      driver::WaitFor([this] { return GetForegroundWindow() == dialog_; }, 2000);
      driver::Pump(100);
    }
  }
  ~LicenceRun() {
    if (!thread_.IsFinished() && dialog_) PostMessageW(dialog_, WM_CLOSE, 0, 0);
    thread_.Stop();
    driver::MoveMouse(5, 1000);
  }
  LicenceRun(const LicenceRun&) = delete;
  LicenceRun& operator=(const LicenceRun&) = delete;

  HWND Dialog() const { return dialog_; }
  dlgLicense& Window() { return window_; }
  bool Ended(DWORD timeoutMs = 3000) {
    return driver::WaitFor([this] { return thread_.IsFinished(); }, timeoutMs);
  }
  INT_PTR Result() const { return result_; }

 private:
  static void Body(NamedEvent&, void* self) {
    auto* run = static_cast<LicenceRun*>(self);
    run->result_ = run->window_.Run(nullptr);
  }

  dlgLicense window_;
  WorkerThread thread_;
  HWND dialog_ = nullptr;
  volatile INT_PTR result_ = -2;
};

int DarkPixels(HWND window, const RECT& area) {
  HDC dc = GetDC(window);
  int dark = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x)
      if ((GetPixel(dc, x, y) & 0xFFFFFF) < 0x404040) ++dark;
  ReleaseDC(window, dc);
  return dark;
}

int DluX(HWND dialog, int value) {
  RECT rect{value, 0, 0, 0};
  MapDialogRect(dialog, &rect);
  return rect.left;
}

int DluY(HWND dialog, int value) {
  RECT rect{0, value, 0, 0};
  MapDialogRect(dialog, &rect);
  return rect.top;
}

void AltF4() {
  driver::KeyDown(VK_MENU);
  driver::PressKey(VK_F4);
  driver::KeyUp(VK_MENU);
}

}  // namespace

TEST(LicenceWindow, EndsWithOneFromCloseAndZeroFromWmClose) {
  const std::string licence("Terms");
  LicencePayload payload(&licence);
  struct Case {
    const char* how;
    void (*act)(LicenceRun&);
    INT_PTR result;
  } cases[] = {
      {"Enter", [](LicenceRun&) { driver::PressKey(VK_RETURN); }, 1},
      {"the Close button", [](LicenceRun& run) { driver::ClickByMessage(GetDlgItem(run.Dialog(), IDOK)); }, 1},
      {"the close bitmap", [](LicenceRun& run) { driver::ClickWithMouse(run.Window().CloseButton().Control()); }, 1},
      {"Alt+F4", [](LicenceRun&) { AltF4(); }, 0},
      {"WM_CLOSE", [](LicenceRun& run) { PostMessageW(run.Dialog(), WM_CLOSE, 0, 0); }, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    LicenceRun run;
    ASSERT_TRUE(run.Dialog());
    c.act(run);
    ASSERT_TRUE(run.Ended());
    EXPECT_EQ(run.Result(), c.result);
  }
}

TEST(LicenceWindow, EscapeDoesNothing) {
  const std::string licence("Terms");
  LicencePayload payload(&licence);
  LicenceRun run;
  ASSERT_TRUE(run.Dialog());
  driver::PressKey(VK_ESCAPE);
  EXPECT_FALSE(run.Ended(500));
  EXPECT_TRUE(IsWindowVisible(run.Dialog()));
  PostMessageW(run.Dialog(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(run.Ended());
}

TEST(LicenceWindow, TextFromTheAnsiFile) {
  ASSERT_EQ(GetACP(), 1252u) << "the cases are written for Windows-1252";
  const std::string accented("Caf\xE9 \xA9 2024\r\n\x84Zitat\x93 \xFC\xDF\r\n\tEnd");
  const std::string zeroInside("First part\r\n\0hidden", 20);
  const std::string empty;
  const std::string lineFeeds("one\ntwo\rthree");
  struct Case {
    const char* what;
    const std::string* licence;  // null: no setup.lic in the payload
    const WChar* shown;
  } cases[] = {
      {"accented ANSI text", &accented, u"Caf\u00E9 \u00A9 2024\r\n\u201EZitat\u201C \u00FC\u00DF\r\n\tEnd"},
      {"a zero byte ends the text", &zeroInside, u"First part\r\n"},
      {"empty file", &empty, u""},
      {"no licence file", nullptr, u""},
      {"line ends as they are", &lineFeeds, u"one\ntwo\rthree"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LicencePayload payload(c.licence);
    LicenceRun run;
    ASSERT_TRUE(run.Dialog());
    EXPECT_EQ(driver::ControlText(run.Dialog(), IDC_LICENSE_TEXT), W(c.shown));
    PostMessageW(run.Dialog(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(run.Ended());
  }
}

TEST(LicenceWindow, FramedLikeTheWizardAndDraggedByItsSurface) {
  const std::string licence("Terms of use");
  LicencePayload payload(&licence);
  LicenceRun run;
  HWND dialog = run.Dialog();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(driver::TextOf(dialog), W(u"Tool Installer"));
  EXPECT_TRUE(GetClassLongPtrW(dialog, GCL_STYLE) & CS_DROPSHADOW);
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(dialog, region), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(region, 1, 1));
  DeleteObject(region);

  // The close button at the top right, one frame of the strip for the scale.
  const XButton& close = run.Window().CloseButton();
  const RECT window = driver::ScreenRect(dialog);
  const RECT button = driver::ScreenRect(close.Control());
  const int width = window.right - window.left;
  ASSERT_EQ(ScreenDpi(), 96);
  EXPECT_EQ(close.FrameWidth(), 22);
  EXPECT_EQ(button.left - window.left, width - DluX(dialog, 10) - close.FrameWidth() - 2);
  EXPECT_EQ(button.top - window.top, 1);
  EXPECT_TRUE(close.ToolTip());

  // The read-only text box shows white; "License" is drawn in black.
  HWND text = GetDlgItem(dialog, IDC_LICENSE_TEXT);
  RECT client{};
  GetClientRect(text, &client);
  EXPECT_EQ(driver::WindowPixel(text, client.right - 30, client.bottom - 10), 0xFFFFFFu);
  EXPECT_GT(DarkPixels(dialog, RECT{DluX(dialog, 25), DluY(dialog, 20), DluX(dialog, 25) + 80, DluY(dialog, 20) + 26}),
            20);

  POINT grip{window.left + width / 2, window.top + DluY(dialog, 30)};
  driver::MoveMouse(grip.x, grip.y);
  driver::MouseDown();
  driver::MoveMouse(grip.x + 30, grip.y + 20);
  driver::MoveMouse(grip.x + 40, grip.y + 25);
  driver::MouseUp();
  const RECT moved = driver::ScreenRect(dialog);
  EXPECT_EQ(moved.left - window.left, 40);
  EXPECT_EQ(moved.top - window.top, 25);
  EXPECT_FALSE(run.Ended(0));
}
