#include "restart/win/relay_file.h"

#include "app/install_state.h"
#include "engine/win/program_runs.h"
#include "restart/win/parent_process.h"
#include "script/win/read_line.h"
#include "util/win/disk_file.h"
#include "util/win/file_system.h"
#include "util/win/registry.h"

namespace {

bool WriteCommand(const WideString& relayPath, const StringList& lines) {
  DiskFile file;
  if (!file.Open(relayPath, GENERIC_WRITE, CREATE_ALWAYS, false)) return false;
  WideString text;
  for (int i = 0; i < lines.Count(); ++i) {
    text.Append(lines.Item(i));
    text.Append(u"\r\n");
  }
  file.Write(text.Text(), static_cast<DWORD>(text.Length() * sizeof(WChar)));
  return true;
}

void PerformCommands(DiskFile& file) {
  WideString line;
  while (ReadLine(file, line, true)) {
    const bool run = line == WideString(u"[run]");
    const bool dword = line == WideString(u"[setreg_hkcu_dword]");
    const bool string = line == WideString(u"[setreg_hkcu_string]");
    if (!run && !dword && !string) continue;
    WideString values[3];
    ReadValueLines(file, values, 3, true);
    if (run) {
      if (!values[0].IsEmpty()) RunProgram(values[0], values[1], values[2].ParseInteger() != 0, false, nullptr);
    } else if (dword) {
      const DWORD number = static_cast<DWORD>(values[2].ParseInteger());
      WriteRegistryValue(HKEY_CURRENT_USER, values[1], values[0], REG_DWORD, &number, sizeof(number));
    } else {
      WriteRegistryString(HKEY_CURRENT_USER, values[1], values[0], values[2]);
    }
  }
}

}  // namespace

void SendRelayCommand(const StringList& lines) { SendRelayCommand(State().RelayPath, lines); }

void SendRelayCommand(const WideString& relayPath, const StringList& lines) {
  WatchParentProcess();
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (WriteCommand(relayPath, lines)) break;
    Sleep(100);
  }
  // The first process deletes the file once it has performed the command.
  // Should it have gone, nobody ever will: stop waiting and take the
  // unread command away.
  while (PathExists(relayPath)) {
    const ParentStatus parent = WaitForParent(250);
    if (parent == ParentStatus::Ended) {
      DeleteFileForced(relayPath);
      return;
    }
    if (parent == ParentStatus::Unknown) Sleep(250);
  }
}

void ProcessRelayCommands(const WideString& relayPath) {
  // No command in flight: nothing to wait for. (This is the usual answer to
  // the look after the elevated copy has ended, which would otherwise hold
  // every run up by the wait below.)
  if (!PathExists(relayPath)) return;
  Sleep(500);  // lets the writer finish
  if (!PathExists(relayPath)) return;
  {
    DiskFile file;
    if (file.Open(relayPath, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, false)) PerformCommands(file);
  }
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (DeleteFileForced(relayPath)) return;
    Sleep(100);
  }
}
