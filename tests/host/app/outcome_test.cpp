#include "app/outcome.h"

#include <gtest/gtest.h>

TEST(ExitCodeFor, EveryOutcomeWithAndWithoutRestart) {
  struct Case {
    InstallOutcome outcome;
    bool restartNeeded, restartRequested;
    int code;
  };
  const Case cases[] = {
      {InstallOutcome::Completed, false, false, 0},
      {InstallOutcome::Completed, true, false, 3010},
      {InstallOutcome::Completed, true, true, 1641},
      // Only a finished install reports a restart.
      {InstallOutcome::Failed, true, true, 1603},
      {InstallOutcome::Failed, false, false, 1603},
      {InstallOutcome::Cancelled, true, false, 1602},
      {InstallOutcome::AnsweredNo, false, false, 1602},
      {InstallOutcome::OldVersionRestarting, false, false, 1602},
      {InstallOutcome::None, false, false, 1602},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExitCodeFor(c.outcome, c.restartNeeded, c.restartRequested), c.code)
        << static_cast<int>(c.outcome) << " " << c.restartNeeded << c.restartRequested;
  }
}

TEST(KnownExitCode, OnlyTheInstallerCodesPassThrough) {
  for (uint32_t code : {0u, 1602u, 1603u, 1641u, 3010u}) EXPECT_EQ(KnownExitCode(code), static_cast<int>(code));
  for (uint32_t code : {1u, 259u, 1604u, 0xC0000005u, 0xFFFFFFFFu}) EXPECT_EQ(KnownExitCode(code), 1603) << code;
}
