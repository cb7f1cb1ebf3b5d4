// The container's progress window in this process, made from the
// installer's own template: its texts and where they stand, the timer that
// follows the counts, and Cancel.

#include <gtest/gtest.h>

#include "container/win/container_window.h"
#include "test_folder.h"
#include "resources/resource_ids.h"
#include "window_driver.h"

namespace {

// The drawn texts by text; a missing one has an empty text.
DrawnText TextNamed(dlgContainerInstall& window, const WideString& text) {
  for (const DrawnText& drawn : window.DrawnTexts()) {
    if (drawn.text == text) return drawn;
  }
  return DrawnText{WideString(), RECT{0, 0, 0, 0}, 0, false};
}

bool Drawn(dlgContainerInstall& window, const WideString& text) { return !TextNamed(window, text).text.IsEmpty(); }

}  // namespace

TEST(ContainerWindow, DrawsAndFollowsTheCounts) {
  EXPECT_EQ(ContainerProgressLine(0, 3), WideString(u"Running Install 1 of 3"));
  EXPECT_EQ(ContainerProgressLine(2, 3), WideString(u"Running Install 2 of 3"));

  ContainerProgress progress;
  progress.total = 3;
  dlgContainerInstall window(progress);
  ASSERT_TRUE(window.Create());
  HWND handle = window.Window();
  EXPECT_TRUE(IsWindowVisible(handle));
  // Only "Cancel": no close button or other control.
  EXPECT_EQ(driver::ControlText(handle, IDCANCEL), WideString(u"Cancel"));
  EXPECT_EQ(GetWindow(GetDlgItem(handle, IDCANCEL), GW_HWNDNEXT), nullptr);
  EXPECT_EQ(GetWindow(handle, GW_CHILD), GetDlgItem(handle, IDCANCEL));

  const DrawnText title = TextNamed(window, u"Installer");
  const DrawnText heading = TextNamed(window, u"Processing Installers");
  const DrawnText line = TextNamed(window, u"Running Install 1 of 3");
  ASSERT_FALSE(title.text.IsEmpty());
  ASSERT_FALSE(heading.text.IsEmpty());
  ASSERT_FALSE(line.text.IsEmpty());
  EXPECT_FALSE(title.onPage);
  EXPECT_TRUE(line.onPage);
  EXPECT_EQ(line.box.left, window.DluToPixelsX(25));
  EXPECT_NEAR((line.box.top + line.box.bottom) / 2, window.Height() / 2, 1);
  // Centred, one under the other, nothing overlapping.
  EXPECT_NEAR(title.box.left + title.box.right, window.Width(), 1);
  EXPECT_NEAR(heading.box.left + heading.box.right, window.Width(), 1);
  EXPECT_LE(title.box.bottom, heading.box.top);
  EXPECT_LE(heading.box.bottom, line.box.top);
  EXPECT_EQ(driver::TextOf(handle), WideString(u"Running Install 1 of 3"));

  // The timer follows the counts.
  progress.current = 2;
  EXPECT_TRUE(driver::WaitFor([&] { return Drawn(window, u"Running Install 2 of 3"); }, 3000));
  EXPECT_FALSE(Drawn(window, u"Running Install 1 of 3"));
  EXPECT_EQ(driver::TextOf(handle), WideString(u"Running Install 2 of 3"));

  // Cancel closes the window; the object (and its runs) stay.
  driver::ClickByMessage(GetDlgItem(handle, IDCANCEL));
  driver::Pump(100);
  EXPECT_FALSE(IsWindowVisible(handle));
  window.Close();
  EXPECT_FALSE(IsWindow(handle));
}
