// What every process of the installer does first, and the elevated
// relaunch when Windows cannot start the program: nothing that waits for a
// person may come from Windows' side either.

#include <gtest/gtest.h>

#include "app/outcome.h"
#include "app/win/elevated_launch.h"
#include "app/win/process_start.h"
#include "test_folder.h"
#include "util/win/windows_api.h"

namespace {

struct Launch {
  WideString file;
  LaunchResult result;
};

DWORD WINAPI LaunchThread(void* launch) {
  auto* self = static_cast<Launch*>(launch);
  self->result = RunElevatedAndWait(self->file, WideString(u"--silent"), nullptr, WideString());
  return 0;
}

// A visible top-level window of this process, if any.
HWND ShownWindowOfThisProcess() {
  struct Search {
    HWND found = nullptr;
  } search;
  EnumWindows(
      [](HWND window, LPARAM context) CALLBACK -> BOOL {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
        reinterpret_cast<Search*>(context)->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

TEST(ProcessStart, WindowsShowsNoBoxesOfItsOwn) {
  SetErrorMode(0);
  PrepareProcess();
  const UINT mode = GetErrorMode();
  EXPECT_EQ(mode & SEM_FAILCRITICALERRORS, static_cast<UINT>(SEM_FAILCRITICALERRORS));
  EXPECT_EQ(mode & SEM_NOOPENFILEERRORBOX, static_cast<UINT>(SEM_NOOPENFILEERRORBOX));
}

TEST(ElevatedLaunch, AProgramWindowsCannotStartFailsWithoutABox) {
  // As a drive the elevated account cannot see: the program is not there.
  TestFolder folder;
  Launch launch{folder / u"missing\\setup.exe", {}};
  HANDLE thread = CreateThread(nullptr, 0, &LaunchThread, &launch, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  HWND box = nullptr;
  while (WaitForSingleObject(thread, 100) == WAIT_TIMEOUT) {
    if ((box = ShownWindowOfThisProcess()) != nullptr) break;
  }
  if (box != nullptr) {
    ADD_FAILURE() << "the shell showed a box of its own";
    PostMessageW(box, WM_CLOSE, 0, 0);
    SendMessageW(box, WM_COMMAND, IDOK, 0);
  }
  ASSERT_EQ(WaitForSingleObject(thread, 30000), static_cast<DWORD>(WAIT_OBJECT_0));
  CloseHandle(thread);
  EXPECT_FALSE(launch.result.started);
  EXPECT_TRUE(launch.result.error == ERROR_FILE_NOT_FOUND || launch.result.error == ERROR_PATH_NOT_FOUND)
      << launch.result.error;
  EXPECT_EQ(ExitCodeOfLaunch(launch.result, false), kExitFailed);
  // A declined elevation prompt stays a cancel.
  LaunchResult declined;
  declined.error = ERROR_CANCELLED;
  EXPECT_EQ(ExitCodeOfLaunch(declined, false), kExitCancelled);
}
