// An upgrade after an uninstall that left files for the next restart: the
// old uninstaller could not delete files that were in use and asked Windows
// to delete them at the next restart; the new version, installed before
// that restart, must still be there after it. This program restarts its own
// Wine prefix (wineboot -r), which performs the pending operations.
#include <gtest/gtest.h>

#include "app/install_state.h"
#include "engine/win/pending_renames.h"
#include "engine/win/uninstall_record.h"
#include "scripted_messages.h"
#include "test_folder.h"
#include "util/path_text.h"
#include "util/win/file_system.h"
#include "util/win/process_paths.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"
#include "worker_test_support.h"

namespace {

std::string Script(const std::string& version) {
  return ScriptOf({"[Project Name]", "Plove Upgrade", "[ProgramVersion]", version, "[Install To]",
                   "<Program Files>Plove Upgrade\\", "[CopyFile]", "app.txt", "<Destination>app.txt",
                   "[CopyFile]", "busy.txt", "<Destination>busy.txt"});
}

Members Version(const std::string& version) {
  return {{"setup.dat", Script(version)},
          {"app.txt", "app version " + version},
          {"busy.txt", "busy version " + version}};
}

// No sharing at all: neither deletable nor replaceable while held.
ScopedFileHandle Hold(const WideString& path) {
  return ScopedFileHandle(CreateFileW(path.W(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
}

}  // namespace

TEST(UpgradeRestart, NewFilesSurviveTheOldUninstallersPendingDeletions) {
  ScriptedMessages messages(IDOK);
  const WideString folder(u"C:\\Program Files (x86)\\Plove Upgrade\\");
  const WideString app = folder + u"app.txt";
  const WideString busy = folder + u"busy.txt";
  {
    TestInstall v1(u"Plove Upgrade", u"<Program Files>Plove Upgrade\\", Version("1"));
    v1.Run();
    WriteUninstallRecord();  // the wizard's call after the worker
  }
  ASSERT_EQ(FileText(app), "app version 1");
  const WideString uninstallString =
      ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Plove Upgrade"), u"UninstallString");
  ASSERT_FALSE(uninstallString.IsEmpty());

  // Both files are in use while the old version is removed, so both are
  // left for the restart.
  {
    ScopedFileHandle appHeld = Hold(app);
    ScopedFileHandle busyHeld = Hold(busy);
    ASSERT_TRUE(appHeld && busyHeld);
    RunUninstall(uninstallString);
  }
  ASSERT_TRUE(State().UninstallRebootRequired);
  StringList pending = PendingRenameSources();
  ASSERT_TRUE(pending.Contains(app, true));
  ASSERT_TRUE(pending.Contains(busy, true));
  // The uninstaller here is this test program: it stays.
  CancelDeletionAtRestart(ModulePath());

  // The restart is declined and version 2 installed; busy.txt is still in
  // use now and is replaced at the restart.
  {
    TestInstall v2(u"Plove Upgrade", u"<Program Files>Plove Upgrade\\", Version("2"));
    ScopedFileHandle busyHeld = Hold(busy);
    ASSERT_TRUE(busyHeld);
    v2.Run();
    EXPECT_EQ(LastOutcome(), InstallOutcome::Completed);
    EXPECT_TRUE(State().RebootRequired);
  }
  EXPECT_EQ(messages.Count(), 0);
  EXPECT_EQ(FileText(app), "app version 2");
  EXPECT_EQ(FileText(busy), "busy version 1");
  // No deletion of app.txt is pending any more; busy.txt is deleted and
  // replaced by its staged copy, in that order.
  pending = PendingRenameSources();
  EXPECT_FALSE(pending.Contains(app, true));
  ASSERT_EQ(pending.Count(), 2);
  EXPECT_TRUE(pending.Item(0).Equals(busy, true)) << pending.Item(0);
  EXPECT_TRUE(pending.Item(1).Equals(busy + u"-PLITMP", true)) << pending.Item(1);

  ASSERT_TRUE(RestartWinePrefix());
  EXPECT_EQ(FileText(app), "app version 2");
  EXPECT_EQ(FileText(busy), "busy version 2");
  EXPECT_FALSE(Exists(busy + u"-PLITMP"));
  EXPECT_TRUE(Exists(ModulePath()));
}
