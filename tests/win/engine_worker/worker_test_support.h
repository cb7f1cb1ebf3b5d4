#pragma once
// Shared set-up for the install worker and uninstall engine tests: a fresh
// InstallState as the wizard leaves it, a payload built in memory and
// published, the workers run on a WorkerThread, a relay reader on a thread
// of its own, and registry and pending-rename look-ups.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/install_state.h"
#include "pending_restart.h"
#include "payload/win/payload_context.h"
#include "util/string_list.h"
#include "util/wide_string.h"
#include "util/win/windows_api.h"
#include "util/win/worker_thread.h"

using Members = std::vector<std::pair<std::string, std::string>>;

// The install of one test: ResetInstallState, then the fields the wizard
// sets (project name, "%s Installer", install folder expanded) and the
// payload, published until destruction.
class TestInstall {
 public:
  TestInstall(const WideString& projectName, const WideString& installTo, const Members& members);
  ~TestInstall();
  TestInstall(const TestInstall&) = delete;
  TestInstall& operator=(const TestInstall&) = delete;

  // Runs InstallWorker on a WorkerThread (owner window: none) until it ends.
  void Run();

 private:
  std::vector<uint8_t> bytes_;
  PayloadContext payload_;
};

// Sets the uninstaller's state from an "UninstallString" value the way its
// entry does, then runs UninstallWorker on a WorkerThread until it ends.
void RunUninstall(const WideString& uninstallString);

// State().Outcome as a plain value (the field is volatile).
InstallOutcome LastOutcome();

// Runs a worker procedure on a WorkerThread and waits for it to end.
void RunToEnd(WorkerProcedure procedure, void* userValue);

// Serves a relay file from a thread of its own, as the first process does,
// and counts the commands it performed.
class RelayServer {
 public:
  RelayServer();
  ~RelayServer();
  RelayServer(const RelayServer&) = delete;
  RelayServer& operator=(const RelayServer&) = delete;
  const WideString& Path() const { return path_; }
  int Served() const { return served_; }

 private:
  static void Serve(NamedEvent& stop, void* self);
  WideString path_;
  volatile int served_ = 0;
  WorkerThread thread_;
};

// A script from lines, each ended by CR LF.
std::string ScriptOf(const std::vector<std::string>& lines);
// The bytes of a file next to the test program (the fake tool and DLL).
std::string SiblingFileBytes(const wchar_t* name);
WideString SiblingPath(const wchar_t* name);

// Registry look-ups in the 32-bit view; found false when the value is missing.
DWORD ReadDword(HKEY root, const WideString& key, const WideString& name, bool* found);
std::string ReadBinary(HKEY root, const WideString& key, const WideString& name, bool* found);
bool ValueExists(HKEY root, const WideString& key, const WideString& name);
bool KeyExists(HKEY root, const WideString& key);
// Value names of a key in stored order.
StringList ValueNames(HKEY root, const WideString& key);
// The working folder stored in a shortcut file; empty when it cannot be
// read. COM must be initialised on the calling thread.
WideString ShortcutWorkingFolder(const WideString& shortcutPath);
// A UTF-8 file's text, empty when missing.
std::string FileText(const WideString& path);
bool Exists(const WideString& path);
