#pragma once
// Runs the real installer as a user or an administrator's script would: a
// test product is packed with this tree's installer stub, and the installer
// is started as a separate process. Its messages are answered through the
// message door's transcript (PLOVE_TEST_MESSAGES) and its restart requests
// recorded instead of restarting (PLOVE_TEST_RESTART_LOG).

#include <cstdint>
#include <string>
#include <vector>

#include "packer/pack_installer.h"
#include "test_folder.h"
#include "util/wide_string.h"
#include "util/win/scoped_handle.h"
#include "util/win/windows_api.h"

// A file of the build machine as the Windows side sees it (drive Z:).
WideString HostPath(const char* unixPath);
std::vector<uint8_t> ReadHostFile(const char* unixPath);
std::vector<uint8_t> Bytes(const std::string& text);

// Packs members into folder\fileName with this tree's installer stub, or
// with the stub at stubPath (a file of the build machine).
WideString PackSetup(const TestFolder& folder, const WideString& fileName, const std::vector<PackSource>& members,
                     const char* stubPath = PLOVE_STUB_PATH);

// One line of the message transcript.
struct TranscriptMessage {
  DWORD processId = 0;
  UINT flags = 0;
  int answer = 0;
  bool owned = false;
  WideString caption;
  WideString text;
};

// How a test starts the installer, besides its command line.
struct SetupStart {
  // Given to the installer's messages in order (later ones get the
  // unattended answer); answerDelays (ms, by index) keep a box open that
  // long before its answer, as a person who takes a while.
  std::vector<int> answers;
  std::vector<DWORD> answerDelays;
  // The installer's current folder; empty: the test's own. A run that might
  // write outside the Wine prefix starts in a folder inside it.
  WideString currentFolder;
  // false: no transcript, so the installer answers its messages as it does
  // for a real run (a silent run by itself; any other would show a box).
  bool transcript = true;
  // false: restart requests go to Windows (Wine refuses them).
  bool restartLog = true;
};

class SetupProcess {
 public:
  // Starts "exe" arguments; answers are given to the installer's messages
  // in order (later ones get the unattended answer).
  SetupProcess(const WideString& exe, const WideString& arguments, const std::vector<int>& answers = {});
  SetupProcess(const WideString& exe, const WideString& arguments, const SetupStart& start);
  // Ends a process that is still running (a failed test must not leave one).
  ~SetupProcess();
  SetupProcess(const SetupProcess&) = delete;
  SetupProcess& operator=(const SetupProcess&) = delete;

  bool Started() const { return process_.IsValid(); }
  DWORD Id() const { return processId_; }
  // The exit code, or STILL_ACTIVE when the process runs past the time-out.
  DWORD Wait(DWORD timeoutMs = 120000);
  bool Running() const;
  std::vector<TranscriptMessage> Messages() const;
  // How many times the installer asked Windows to restart.
  int RestartRequests() const;
  // The "PLI" entries of the temporary folder (the payload folders and
  // relay files of installers) that were not there before the start.
  std::vector<WideString> Leftovers() const;

 private:
  TestFolder files_;
  ScopedKernelHandle process_;
  DWORD processId_ = 0;
  std::vector<WideString> entriesBefore_;
};

// Runs a command line of a product's entry (its quoted program, then the
// arguments, as UninstallString and QuietUninstallString hold them) and
// waits for it; the exit code, or STILL_ACTIVE past the time-out.
DWORD RunEntryCommand(const WideString& commandLine, DWORD timeoutMs = 120000);

// Registry and file helpers.
bool FileExists(const WideString& path);
std::string FileBytes(const WideString& path);
