#pragma once
// The deletions and renames that Windows performs at the next restart
// (HKLM "System\CurrentControlSet\Control\Session Manager" value
// "PendingFileRenameOperations": pairs of strings, the file as an NT path
// and its new name, empty for a deletion).

#include <vector>

#include "util/wide_string.h"
#include "util/win/scoped_handle.h"
#include "util/win/windows_api.h"

// MoveItem(from, to, MOVEFILE_DELAY_UNTIL_REBOOT); an empty to asks for
// the deletion of from. False when Windows refused.
bool ScheduleMoveAtRestart(const WideString& from, const WideString& to);

// Takes back every pending deletion of path that stands alone: an entry
// without a new name for exactly that path (ASCII case folded; "\\?\" and
// UNC forms match their plain ones) that is not directly followed by a
// rename onto path. Such a deletion was left by someone else (an old
// version's uninstaller that could not remove the file) and would remove a
// file placed since. A deletion directly followed by a rename onto path is
// the first half of a replacement and stays, as does every other entry, in
// order. True when something was taken back.
bool CancelDeletionAtRestart(const WideString& path);

// Takes back a replacement at restart of destination by staged (the
// deletion of destination directly followed by the rename of staged onto
// it, as ScheduleMoveAtRestart left them); every other entry stays, in
// order. True when something was taken back.
bool CancelReplacementAtRestart(const WideString& destination, const WideString& staged);

// CancelDeletionAtRestart for one path after another, as the install places
// files: the value is read again only when it has changed since the last
// look, so that a path without a lone deletion costs no registry read. A
// registry change notification tells of changes by others, looked at once
// per kCheckIntervalMs at most (another process may schedule a deletion
// just after any look anyway); whoever may have changed the value without
// the watch seeing it (a program run and waited for) calls Forget. Falls
// back to reading every time when the change cannot be watched. One thread
// at a time.
class DeletionWatch {
 public:
  static constexpr DWORD kCheckIntervalMs = 50;

  bool Cancel(const WideString& path);
  // The next Cancel reads the value again.
  void Forget() { watching_ = false; }

 private:
  // True when deletions_ holds the lone deletions of the value as it is.
  bool Current();

  ScopedRegistryKey key_;
  ScopedKernelHandle changed_;
  DWORD thread_ = 0;
  DWORD lastCheck_ = 0;
  bool watching_ = false;
  std::vector<WideString> deletions_;  // plain paths
};

// Tests only: replaces the move in ScheduleMoveAtRestart (nullptr
// restores it), so that a refused call can be staged.
using RestartMoveCall = BOOL(WINAPI*)(LPCWSTR from, LPCWSTR to, DWORD flags);
void SetRestartMoveCallForTests(RestartMoveCall call);
