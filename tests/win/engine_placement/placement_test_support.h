#pragma once
// Shared by the placement test programs: fixture paths, a published test
// payload, file and registry helpers, and running the relay helper while
// serving its relay file like a first process.

#include <string>
#include <utility>
#include <vector>

#include "payload/win/payload_context.h"
#include "test_folder.h"
#include "util/wide_string.h"
#include "util/win/windows_api.h"

// A file built next to the test program (see fixtures/README.md).
WideString FixturePath(const WChar* name);
std::string FixtureBytes(const WChar* name);

// A payload built from members (setup.dat is added), published for the
// lifetime of the object.
using PayloadMembers = std::vector<std::pair<std::string, std::string>>;

class PublishedTestPayload {
 public:
  explicit PublishedTestPayload(PayloadMembers members = PayloadMembers());
  ~PublishedTestPayload();
  PublishedTestPayload(const PublishedTestPayload&) = delete;
  PublishedTestPayload& operator=(const PublishedTestPayload&) = delete;
  bool Ready() const { return ready_; }

 private:
  std::vector<uint8_t> bytes_;
  PayloadContext context_;
  bool ready_ = false;
};

// The UTF-16 text of a file; empty when missing.
WideString ReadWideFile(const WideString& path);
// A marker written by plv_user.exe / plv_admin.exe for the given first
// argument: the parent process id and the command line.
struct MarkerRun {
  bool ran = false;
  DWORD parent = 0;
  WideString commandLine;
};
MarkerRun ReadMarker(const WideString& firstArgument);

// DWORD under HKCU (native view); -1 when missing.
long long ReadUserDword(const WChar* key, const WChar* name);
void DeleteUserValue(const WChar* key, const WChar* name);

// Starts relay_helper.exe with the arguments (each quoted), and until it
// ends serves relayPath as the first process does: the file is made empty
// first when it is missing (and removed at the end), and whenever it is not
// empty, ProcessRelayCommands. Returns false when it did not end within
// timeoutMs (it is then terminated). *helperId receives its process id.
bool RunHelperServingRelay(const std::vector<WideString>& arguments, const WideString& relayPath, DWORD timeoutMs,
                           DWORD* helperId = nullptr);
// Starts relay_helper.exe without serving anything and without waiting.
HANDLE StartHelper(const std::vector<WideString>& arguments);

// Waits up to timeoutMs for a file to appear.
bool WaitForFile(const WideString& path, DWORD timeoutMs);

// Watches a relay file that nobody serves, on a thread of its own: the file
// is made empty, as a first process makes it, and a command written to it
// is noted and emptied away, so a run that was handed over by mistake fails
// the test instead of leaving its writer waiting. The file goes at the end.
class UnservedRelay {
 public:
  explicit UnservedRelay(const WideString& path);
  ~UnservedRelay();
  UnservedRelay(const UnservedRelay&) = delete;
  UnservedRelay& operator=(const UnservedRelay&) = delete;
  bool Written() const { return written_ != 0; }

 private:
  static DWORD WINAPI Watch(void* self);
  WideString path_;
  volatile LONG stop_ = 0;
  volatile LONG written_ = 0;
  HANDLE thread_ = nullptr;
};
