#include <gtest/gtest.h>

#include <string>

#include "app/install_state.h"
#include "dialog_template.h"
#include "resources/resource_ids.h"
#include "restart/win/restart_request.h"
#include "restart_test_support.h"
#include "ui/win/modal_loop.h"
#include "window_driver.h"

namespace {

bool QuitWaiting() {
  MSG message;
  return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

// A modal dialog of the toolkit that ends itself with 5 after a moment;
// a quit left in the queue would end it at once with 0.
INT_PTR RunSelfEndingDialog() {
  struct SelfEnding : XWindow {
    void OnCreate() override { AddTimer(50); }
    void OnTimer(UINT, int) override { CloseDialog(5); }
  } window;
  DialogTemplate dialog(u"Later", 10, 10, 80, 40);
  return window.RunDialogIndirect(dialog.Get(), nullptr, true);
}

}  // namespace

// Silent runs open no window: the restart is asked for at once, or with
// "--noautoreboot" not at all, and the result says which. Nothing is left
// in the thread's queue for a later loop to trip over.
TEST(RestartSilent, RequestsAtOnceOrNotAtAllWithoutAWindow) {
  const struct {
    bool autoReboot;
    int requests;
  } cases[] = {{true, 1}, {false, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.autoReboot ? "silent" : "silent with --noautoreboot");
    ResetInstallState();
    State().Silent = true;
    State().AutoReboot = c.autoReboot;
    RestartCounter restarts;
    dlgRebooting window;
    EXPECT_EQ(window.Run(false), c.requests == 1);
    EXPECT_EQ(window.Window(), nullptr);
    EXPECT_EQ(driver::FindDialogWithControl(IDC_REBOOT_NOW), nullptr);
    EXPECT_EQ(restarts.Count(), c.requests);
    EXPECT_EQ(State().RestartRequested, c.requests == 1);
    EXPECT_FALSE(QuitWaiting());
    EXPECT_EQ(RunSelfEndingDialog(), 5);
  }
  ResetInstallState();
}

TEST(RestartRequest, ResultAndFlagFollowTheRequest) {
  ResetInstallState();
  RestartCounter restarts;
  EXPECT_TRUE(RequestRestart());  // not silent: always asks
  EXPECT_EQ(restarts.Count(), 1);
  EXPECT_TRUE(State().RestartRequested);
  EXPECT_FALSE(QuitWaiting());  // no modal dialog open: no quit

  ResetInstallState();
  State().Silent = true;
  State().AutoReboot = false;
  EXPECT_FALSE(RequestRestart());
  EXPECT_EQ(restarts.Count(), 1);
  EXPECT_FALSE(State().RestartRequested);
  ResetInstallState();
}

// PLOVE_TEST_RESTART_LOG stands in for Windows in other processes' tests:
// one line per request, appended.
TEST(RestartRequest, EnvironmentLogGetsOneLinePerRequest) {
  ResetInstallState();
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  std::wstring log = std::wstring(folder) + L"restart-log.txt";
  DeleteFileW(log.c_str());
  SetEnvironmentVariableW(L"PLOVE_TEST_RESTART_LOG", log.c_str());
  EXPECT_TRUE(RequestRestart());
  EXPECT_TRUE(RequestRestart());
  SetEnvironmentVariableW(L"PLOVE_TEST_RESTART_LOG", nullptr);
  EXPECT_TRUE(State().RestartRequested);

  HANDLE file = CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  char bytes[128] = {};
  DWORD read = 0;
  ReadFile(file, bytes, sizeof bytes - 1, &read, nullptr);
  CloseHandle(file);
  DeleteFileW(log.c_str());
  EXPECT_EQ(std::string(bytes, read), "restart requested\r\nrestart requested\r\n");
  ResetInstallState();
}

namespace {

// A modal dialog whose handler opens the restart window inside its own
// loop, then ends itself with 7 a moment after the restart window returns.
class OuterDialog : public XWindow {
 public:
  std::atomic<bool> restartResult{false};
  std::atomic<bool> innerReturned{false};
  void OnCreate() override { PostMessageW(Window(), WM_APP, 0, 0); }
  LRESULT PreDispatch(HWND, UINT message, WPARAM, LPARAM, bool& handled) override {
    if (message != WM_APP) return 0;
    handled = true;
    dlgRebooting restart;
    restart.SetClock(&FakeNow);
    restartResult = restart.Run(false);
    innerReturned = true;
    AddTimer(200);
    return 0;
  }
  void OnTimer(UINT, int) override { CloseDialog(7); }
};

struct OuterRun {
  OuterDialog dialog;
  std::atomic<INT_PTR> result{-2};
  std::atomic<bool> quitLeft{false};
  static DWORD WINAPI Main(void* context) {
    auto* self = static_cast<OuterRun*>(context);
    DialogTemplate outer(u"Outer", 10, 10, 120, 60);
    self->result = self->dialog.RunDialogIndirect(outer.Get(), nullptr, true);
    self->quitLeft = QuitWaiting();
    return 0;
  }
};

}  // namespace

// The restart request ends the restart window's loop and only that one: the
// dialog around it runs on until it ends itself.
TEST(RestartRequest, QuitEndsOnlyTheRestartWindow) {
  ResetInstallState();
  RestartCounter restarts;
  OuterRun run;
  ScopedKernelHandle thread(CreateThread(nullptr, 0, &OuterRun::Main, &run, 0, nullptr));
  HWND restartWindow = driver::WaitForDialogWithControl(IDC_REBOOT_NOW, 5000);
  ASSERT_TRUE(restartWindow);
  driver::ClickByMessage(GetDlgItem(restartWindow, IDC_REBOOT_NOW));
  ASSERT_TRUE(driver::WaitFor([&] { return run.dialog.innerReturned.load(); }, 5000));
  EXPECT_TRUE(run.dialog.restartResult);
  EXPECT_EQ(restarts.Count(), 1);
  ASSERT_TRUE(driver::WaitFor([&] { return run.result != -2; }, 5000));
  WaitForSingleObject(thread.Get(), 5000);
  EXPECT_EQ(run.result, 7);
  EXPECT_FALSE(run.quitLeft);
  EXPECT_EQ(ModalDialogDepth(), 0);
  ResetInstallState();
}
