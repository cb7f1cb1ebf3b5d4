#include <gtest/gtest.h>

#include "app/win/focus_window.h"
#include "ui/win/text_font.h"
#include "window_driver.h"
#include "window_pixels.h"

namespace {

// Client pixels of dialog units of the window.
POINT Dlu(HWND window, int x, int y) {
  RECT rect{x, y, 0, 0};
  MapDialogRect(window, &rect);
  return POINT{rect.left, rect.top};
}

int TextWidth(const WideString& text, int size) {
  TextFont font;
  font.Create(nullptr, u"Tahoma", XWindow::ScaleForDpi(size), 0);
  ScreenDC screen;
  return font.TextWidth(text, false, -1, screen.Get());
}

}  // namespace

TEST(FocusWindow, ModelessOwnerlessFramedWithItsTwoTextsCentred) {
  HWND handle = nullptr;
  {
    dlgNonElevateWndWithFocus window;
    ASSERT_TRUE(window.Create());  // returns at once: modeless
    handle = window.Window();
    ASSERT_TRUE(handle);
    driver::Pump(200);
    EXPECT_TRUE(IsWindowVisible(handle));
    EXPECT_EQ(GetWindow(handle, GW_OWNER), nullptr);
    EXPECT_EQ(GetWindow(handle, GW_CHILD), nullptr);  // no controls
    EXPECT_FALSE(GetWindowLongW(handle, GWL_STYLE) & WS_CAPTION);
    POINT size = Dlu(handle, 316, 144);
    EXPECT_EQ(window.Width(), size.x);
    EXPECT_EQ(window.Height(), size.y);
    EXPECT_TRUE(GetClassLongPtrW(handle, GCL_STYLE) & CS_DROPSHADOW);

    // Each text: dark pixels as wide as the text, centred, in its band. The
    // bands keep clear of the rounded corners, where the screen behind the
    // window shows.
    const int side = 24;
    const struct {
      const char16_t* text;
      int size;
      int top;  // pixels
    } texts[] = {{u"Installer", 21, XWindow::ScaleForDpi(2)}, {u"Processing Installer", 30, Dlu(handle, 0, 35).y}};
    for (const auto& text : texts) {
      SCOPED_TRACE(WideString(text.text).ToUtf8());
      int height = XWindow::ScaleForDpi(text.size);
      RECT band{side, text.top, window.Width() - side, text.top + height};
      RECT ink = WindowPixels(handle, band).DarkBounds();
      int width = TextWidth(text.text, text.size);
      EXPECT_NEAR(ink.right - ink.left, width, 4);
      int centre = side + (ink.left + ink.right) / 2;
      EXPECT_NEAR(centre, window.Width() / 2, 3);
    }
    // Nothing else is written on the window's lower part.
    RECT lower{side, Dlu(handle, 0, 35).y + XWindow::ScaleForDpi(30) + 4, window.Width() - side,
               window.Height() - side};
    EXPECT_EQ(WindowPixels(handle, lower).DarkCount(), 0);

    // Dragged by its surface.
    RECT before = driver::ScreenRect(handle);
    POINT grip{before.left + 40, before.top + window.Height() - 40};
    driver::MoveMouse(grip.x, grip.y);
    driver::MouseDown();
    EXPECT_TRUE(window.Dragging());
    driver::MoveMouse(grip.x - 25, grip.y + 10);
    driver::MoveMouse(grip.x - 35, grip.y + 12);
    driver::MouseUp();
    EXPECT_FALSE(window.Dragging());
    RECT after = driver::ScreenRect(handle);
    EXPECT_EQ(after.left - before.left, -35);
    EXPECT_EQ(after.top - before.top, 12);
    driver::MoveMouse(5, 1000);

    window.Hide();
    EXPECT_FALSE(IsWindowVisible(handle));
    EXPECT_TRUE(IsWindow(handle));
  }
  EXPECT_FALSE(IsWindow(handle));  // destroyed with its object
}
