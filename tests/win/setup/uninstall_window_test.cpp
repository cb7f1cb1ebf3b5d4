// The uninstall window in this process, on a thread of its own as in the
// uninstaller, driven from the test.

#include <gtest/gtest.h>

#include <objbase.h>

#include <vector>

#include "app/install_state.h"
#include "resources/resource_ids.h"
#include "scripted_messages.h"
#include "uninstall/win/uninstall_window.h"
#include "util/win/scoped_handle.h"
#include "window_driver.h"

namespace {

struct WindowRun {
  dlgUnInstall* window = nullptr;
  static DWORD WINAPI Run(void* self) {
    auto* run = static_cast<WindowRun*>(self);
    CoInitialize(nullptr);
    {
      dlgUnInstall window(false);
      run->window = &window;
      window.Run();
      run->window = nullptr;
    }
    CoUninitialize();
    return 0;
  }
};

bool Drawn(dlgUnInstall& window, const WChar* text) {
  for (const DrawnText& drawn : window.DrawnTexts())
    if (drawn.onPage && drawn.text == WideString(text)) return true;
  return false;
}

}  // namespace

// Without its record nothing is removed, and the last page says so.
TEST(UninstallWindow, NothingRemovedEndsOnTheFailurePage) {
  ResetInstallState();
  InstallState& state = State();
  state.InstallerTitle = u"UnInstaller";
  state.ProjectName = u"Plove Lost";
  state.InstallTo = u"C:\\Plove Lost\\";
  state.UninstallRecordPath = u"C:\\Plove Lost\\PloveUninstall-Plove Lost.dat";
  ScriptedMessages messages(IDOK);
  WindowRun run;
  ScopedKernelHandle thread(CreateThread(nullptr, 0, &WindowRun::Run, &run, 0, nullptr));
  HWND window = nullptr;
  ASSERT_TRUE(driver::WaitFor([&] { return (window = driver::FindDialogWithControl(IDC_PROGRESS, GetCurrentProcessId())); },
                              20000));
  SendMessageW(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
  ASSERT_TRUE(driver::WaitFor(
      [&] { return run.window != nullptr && run.window->Page() == UninstallPage::Completed &&
                   Drawn(*run.window, u"Uninstall is Incomplete"); },
      20000));
  EXPECT_TRUE(Drawn(*run.window, u"Uninstall was not successful."));
  EXPECT_FALSE(Drawn(*run.window, u"Plove Lost has been removed successfully."));
  ASSERT_EQ(messages.Count(), 1);
  EXPECT_EQ(messages.Last().text, WideString(u"Unable to open the uninstall record 'C:\\Plove Lost\\PloveUninstall-Plove "
                                             u"Lost.dat', nothing has been removed."));
  EXPECT_EQ(messages.Last().owner, window);
  SendMessageW(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0);
  EXPECT_EQ(WaitForSingleObject(thread.Get(), 20000), static_cast<DWORD>(WAIT_OBJECT_0));
  const InstallOutcome outcome = State().Outcome;
  EXPECT_EQ(outcome, InstallOutcome::Failed);
  ResetInstallState();
}
