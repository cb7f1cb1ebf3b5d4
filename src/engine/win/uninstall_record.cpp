#include "engine/win/uninstall_record.h"

#include <string>

#include "app/install_state.h"
#include "engine/record_argument.h"
#include "engine/record_marks.h"
#include "engine/win/folder_macros.h"
#include "engine/win/installed_files.h"
#include "engine/win/logon_deletion.h"
#include "engine/win/pending_renames.h"
#include "engine/win/record_file_marks.h"
#include "engine/win/run_scope.h"
#include "engine/win/uninstaller_image.h"
#include "payload/win/payload_context.h"
#include "rollback/win/run_journal.h"
#include "script/directives.h"
#include "script/install_scope.h"
#include "script/win/read_line.h"
#include "util/path_text.h"
#include "util/win/disk_file.h"
#include "util/win/file_system.h"
#include "util/win/install_log.h"
#include "util/win/registry.h"
#include "util/win/temp_names.h"
#include "util/win/safe_files.h"

const WChar* const kUninstallKeyParent = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

namespace {

const WChar* const kSavedPathKey = u"Software\\PloveInstall";

// InstalledFilesChanges() when the record was last written.
uint32_t g_fateChangesAtRecord = 0;

bool IsRecordMark(const WideString& line) { return line.Equals(kKeptFileMark) || line.Equals(kCountedFileMark); }

void AddLine(std::string& text, const WideString& line) {
  text += line.ToAnsi();
  text += "\r\n";
}

// After the two value lines of a "[CopyFile]" entry: what the install did
// with its file.
void AddFileMarks(std::string& text, const WideString& destination) {
  const FileMarks marks = MarksForDestination(destination);
  if (marks.kept) AddLine(text, WideString(kKeptFileMark));
  if (marks.counted) AddLine(text, WideString(kCountedFileMark));
}

// Copies the payload's setup.dat to recordPath line by line, every line
// ended by CR LF, with the line after each "[Install To]" replaced by the
// chosen install folder and each "[CopyFile]" entry followed by its file's
// marks (a mark line of the script itself is left out). The script's
// "[InstallScope]" gives way to the scope of this run, at the end; a
// machine install of a script without one writes none (older uninstallers
// skip the line, and a record without it is a machine install's).
void WriteRecordFile(const WideString& recordPath) {
  PayloadContext* payload = PublishedPayload();
  if (payload == nullptr) return;
  DiskFile script;
  if (!script.Open(payload->PayloadFolder() + u"setup.dat", GENERIC_READ, OPEN_EXISTING, false)) return;
  DiskFile record;
  if (!record.Open(recordPath, GENERIC_WRITE, CREATE_ALWAYS, false)) return;

  const WideString installTo = State().InstallTo;
  bool scopeNamed = PerUserRun();
  // The record is made in memory and written in one go: a line at a time
  // costs two writes per line, thousands for a large product.
  std::string text;
  LineReader lines(script, false);
  WideString line;
  while (lines.Next(line)) {
    if (IsRecordMark(line)) continue;
    if (line.Equals(Directive::InstallScope)) {
      WideString dropped;
      lines.Next(dropped);
      scopeNamed = true;
      continue;
    }
    if (line.Equals(Directive::InstallTo)) {
      WideString dropped;
      lines.Next(dropped);
      AddLine(text, WideString(Directive::InstallTo));
      AddLine(text, installTo);
    } else if (line.Equals(Directive::CopyFile)) {
      // Its value lines as the install worker reads them.
      AddLine(text, line);
      WideString values[2];  // member, destination
      int present = 0;
      while (present < 2 && lines.Next(values[present])) {
        AddLine(text, values[present]);
        ++present;
      }
      if (present == 2) AddFileMarks(text, values[1]);
    } else {
      AddLine(text, line);
    }
  }
  if (scopeNamed) {
    AddLine(text, WideString(Directive::InstallScope));
    AddLine(text, WideString(InstallScopeName(PerUserRun() ? InstallScope::User : InstallScope::Machine)));
  }
  record.Write(text.data(), static_cast<DWORD>(text.size()));
}

void WriteDword(const WideString& key, const WChar* name, DWORD value) {
  WriteRegistryValue(ProductRegistryRoot(), key, WideString(name), REG_DWORD, &value, sizeof(value));
}

// The Uninstall entry's values and the saved install folder, which
// WriteUninstallValues and WriteUninstallRecord write, noted for a rollback
// with one flush instead of one each.
void NoteEntryValuesAhead(const WideString& key) {
  InstallState& state = State();
  static const WChar* const kNames[] = {u"DisplayName",     u"Publisher",   u"DisplayVersion", u"InstallLocation",
                                        u"DisplayIcon",     u"NoModify",    u"NoRepair",       u"EstimatedSize",
                                        u"UninstallString", u"QuietUninstallString", u"InstallTo"};
  JournalNotesAhead ahead;
  for (const WChar* name : kNames) JournalRegistryValue(ProductRegistryRoot(), key, WideString(name));
  if (state.SaveInstallPathGiven && !state.SaveInstallPathName.IsEmpty()) {
    JournalRegistryValue(HKEY_CURRENT_USER, WideString(kSavedPathKey), state.SaveInstallPathName);
    if (!PerUserRun()) JournalRegistryValue(HKEY_LOCAL_MACHINE, WideString(kSavedPathKey), state.SaveInstallPathName);
  }
}

void WriteUninstallValues(const WideString& copyPath, const WideString& recordPath) {
  InstallState& state = State();
  const WideString key = UninstallKeyPath(state.ProjectName);
  NoteEntryValuesAhead(key);
  auto text = [&key](const WChar* name, const WideString& value) {
    WriteRegistryString(ProductRegistryRoot(), key, WideString(name), value);
  };
  text(u"DisplayName", state.ProjectName);
  if (!state.Publisher.IsEmpty()) text(u"Publisher", state.Publisher);
  if (!state.ProgramVersion.IsEmpty()) text(u"DisplayVersion", state.ProgramVersion);
  text(u"InstallLocation", state.InstallTo);
  text(u"DisplayIcon", copyPath);
  WriteDword(key, u"NoModify", 1);
  WriteDword(key, u"NoRepair", 1);
  WriteDword(key, u"EstimatedSize", static_cast<DWORD>(state.TotalInstallSize & 0xFFFFFFFFu));
  text(u"UninstallString", WideString::Format(u"\"%s\" --uninstall=\"%s\"", copyPath, recordPath));
  // What package managers run to remove the product without a window: the
  // same command, unattended and without restarting Windows by itself
  // ("--uninstall=" stays last: older uninstallers take the rest of the line).
  text(u"QuietUninstallString",
       WideString::Format(u"\"%s\" --silent --noautoreboot --uninstall=\"%s\"", copyPath, recordPath));
  text(u"InstallTo", state.InstallTo);
}

}  // namespace

WideString UninstallKeyPath(const WideString& productName) {
  return WideString(kUninstallKeyParent) + u"\\" + productName;
}

WideString UninstallFolder() {
  if (PerUserRun()) return UserUninstallFolder();
  WideString folder(u"<Program Files>PloveUninstall\\");
  ExpandFolderMacros(folder);
  return folder;
}

WideString UninstallerCopyPath(const WideString& productName) {
  return UninstallFolder() + u"Uninstall-" + productName + u".exe";
}

WideString UninstallRecordPathFor(const WideString& productName) {
  return WideString::Format(u"%sPloveUninstall-%s.dat", UninstallFolder(), productName);
}

bool WriteUninstallRecord() {
  InstallState& state = State();
  if (!state.UninstallAllowed) return true;
  if (state.UninstallRecordWritten) {
    // Written before a program run of the script: the files placed or
    // kept since then get their marks now.
    if (g_fateChangesAtRecord == InstalledFilesChanges()) return true;
    const WideString recordPath = UninstallRecordPathFor(state.ProjectName);
    g_fateChangesAtRecord = InstalledFilesChanges();
    WriteRecordFile(recordPath);
    LogEvent(log_kind::kUninstallRecord, recordPath + u", again with the files placed since");
    return true;
  }
  state.UninstallRecordWritten = true;
  // The product's record from an earlier install, before this one's
  // replaces it.
  ReadPreviousRecordMarks();

  const WideString folder = UninstallFolder();
  CreateFolderTree(folder);
  const WideString copyPath = folder + u"Uninstall-" + state.ProjectName + u".exe";
  // The uninstaller of an older version, run just before this install,
  // asked for its own deletion at the next restart; its file name is the
  // one the new copy has just taken.
  // Without its uninstaller the product is not installed: no record, no
  // entry naming a missing program, and the run fails.
  if (JournalBeforeFile(copyPath) == KeepAside::NotKept || !WriteUninstallerCopy(copyPath)) {
    LogWindowsError(log_kind::kFailure, u"the uninstaller " + copyPath + u" (the product is not installed)",
                    GetLastError());
    return false;
  }
  CancelDeletionAtRestart(copyPath);
  if (PerUserRun()) CancelDeletionAtNextLogon(state.ProjectName);

  const WideString recordPath = WideString::Format(u"%sPloveUninstall-%s.dat", folder, state.ProjectName);
  if (JournalBeforeFile(recordPath) == KeepAside::NotKept) return false;
  g_fateChangesAtRecord = InstalledFilesChanges();
  WriteRecordFile(recordPath);
  LogEvent(log_kind::kUninstallRecord, recordPath + u", uninstaller " + copyPath);
  WriteUninstallValues(copyPath, recordPath);

  if (state.SaveInstallPathGiven && !state.SaveInstallPathName.IsEmpty()) {
    WriteRegistryString(HKEY_CURRENT_USER, WideString(kSavedPathKey), state.SaveInstallPathName, state.InstallTo);
    if (!PerUserRun())
      WriteRegistryString(HKEY_LOCAL_MACHINE, WideString(kSavedPathKey), state.SaveInstallPathName, state.InstallTo);
  }
  return true;
}

WideString UninstallRecordArgument(const WideString& commandLine) { return RecordArgument(commandLine); }
