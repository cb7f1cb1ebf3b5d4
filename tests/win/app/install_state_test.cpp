#include <gtest/gtest.h>

#include "app/install_state.h"

TEST(InstallState, StartValuesAndThe64BitStandIn) {
  ResetInstallState();
  InstallState& state = State();
  EXPECT_EQ(state.InstallerTitle, WideString(u"Setup"));
  EXPECT_EQ(state.ProjectName, WideString(u"Setup"));
  EXPECT_FALSE(state.Silent);
  EXPECT_TRUE(state.AutoReboot);
  EXPECT_TRUE(state.UninstallAllowed);
  EXPECT_TRUE(state.OfferUninstallOld);
  EXPECT_TRUE(state.Outcome == InstallOutcome::None);
  // The x86_64 build stands in for the 32-bit program on 64-bit Windows.
  EXPECT_TRUE(state.Is64BitWindows);
  // The reboot event is the shared, named one.
  HANDLE same = OpenEventW(SYNCHRONIZE, FALSE, L"evtReRunInstallAsUninstallReboot");
  ASSERT_NE(same, nullptr);
  CloseHandle(same);
  EXPECT_FALSE(state.RebootEvent.IsSignalled());
}

TEST(InstallState, ResetGivesAFreshRecord) {
  State().ProjectName = WideString(u"Changed");
  State().InstallFailed = true;
  ResetInstallState();
  EXPECT_EQ(State().ProjectName, WideString(u"Setup"));
  EXPECT_FALSE(State().InstallFailed);
  // The progress lock works after a reset.
  MutexGuard guard(State().ProgressLock);
  EXPECT_TRUE(State().ProgressLock.IsHeld());
}
