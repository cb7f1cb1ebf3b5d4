#include "engine/win/install_worker.h"

#include <objbase.h>

#include <vector>

#include "app/install_state.h"
#include "engine/scope_rules.h"
#include "engine/variant_rules.h"
#include "engine/win/file_placement.h"
#include "engine/win/folder_macros.h"
#include "engine/win/native_system_folder.h"
#include "engine/win/program_runs.h"
#include "engine/win/product_folder.h"
#include "engine/win/run_scope.h"
#include "engine/win/shortcuts.h"
#include "engine/win/run_rollback.h"
#include "engine/win/uninstall_record.h"
#include "engine/win/worker_registry.h"
#include "engine/win/worker_removal_offer.h"
#include "payload/win/decode_ahead.h"
#include "payload/win/payload_context.h"
#include "rollback/win/run_journal.h"
#include "script/directives.h"
#include "script/win/read_line.h"
#include "util/path_text.h"
#include "util/string_list.h"
#include "util/win/disk_file.h"
#include "util/win/install_log.h"
#include "util/win/message_door.h"
#include "engine/win/uninstaller_image.h"

namespace {

const WChar kJournalFull[] =
    u"Setup cannot write the record it needs to undo its changes (the disk may be full). Its changes are undone.";

// Why the second pass ended.
enum class PassEnd : uint8_t { EndOfScript, Stopped, PlacementCancelled, AnsweredNo };

class ScriptPass {
 public:
  ScriptPass(DiskFile& script, NamedEvent& stopEvent, HWND window, PayloadArchive& archive)
      : script_(script, false),
        stopEvent_(stopEvent),
        window_(window),
        archive_(archive),
        decodeAhead_(archive, &stopEvent) {}

  // First pass: the destinations of every "[CopyFile]", for the platform
  // variant rule and the progress total; then the members that will be
  // placed start decoding ahead of the second pass.
  void CollectCopyTargets();
  PassEnd Run();

 private:
  void StartDecoding(const std::vector<WideString>& members, const std::vector<WideString>& destinations);
  // False when the directive ends the pass; end tells why.
  bool Perform(const WideString& line, PassEnd& end);
  void Action();
  bool PlaceCopy(PassEnd& end);
  void Shortcut();
  void RunLine(bool wait);
  bool Message();
  void Registry();

  // The stop event, asked before every line but within a run of files at
  // most once per kStopCheckMs: asking is a call into the kernel, which
  // costs as much as placing a small file while the decoding threads keep
  // the processors busy.
  bool StopRequested() {
    const DWORD now = GetTickCount();
    if (stopChecked_ && now - lastStopCheck_ < kStopCheckMs) return false;
    stopChecked_ = true;
    lastStopCheck_ = now;
    return stopEvent_.IsSignalled();
  }

  // The platform-variant rule looks for the twins of a destination among
  // every destination; without a marker in any of them there are none (and
  // the pass does not compare every destination with every other).
  bool Accept(WideString& destination) const {
    return !LeftOutForUser(destination) && (!variants_ || AcceptVariant(destination, copyTargets_));
  }
  // A per-user run places nothing in Windows' own folders.
  static bool LeftOutForUser(const WideString& destination) {
    return PerUserRun() && !WindowsFolderMacroIn(destination).IsEmpty();
  }

  WideString Next() {
    WideString line;
    script_.NextValues(&line, 1);
    return line;
  }

  static constexpr DWORD kStopCheckMs = 50;

  LineReader script_;
  NamedEvent& stopEvent_;
  bool stopChecked_ = false;
  DWORD lastStopCheck_ = 0;
  HWND window_;
  StringList copyTargets_;
  bool variants_ = false;  // a destination names a platform marker
  int copyTotal_ = 0;
  int copyCounter_ = 0;
  bool journalFailed_ = false;
  PayloadArchive& archive_;
  DecodeAhead decodeAhead_;
};

void ScriptPass::CollectCopyTargets() {
  std::vector<WideString> members;
  std::vector<WideString> destinations;
  WideString line;
  while (script_.Next(line)) {
    if (!line.Equals(Directive::CopyFile)) continue;
    WideString values[2];
    script_.NextValues(values, 2);
    copyTargets_.Add(values[1]);
    variants_ = variants_ || HasVariantMarker(values[1]);
    ++copyTotal_;
    members.push_back(values[0]);
    destinations.push_back(values[1]);
  }
  script_.Rewind();
  StartDecoding(members, destinations);
}

// The plan is what the second pass is expected to place. Should it place
// something else after all (a value line that reads as a directive), the
// worker extracts that member itself, and the journal notes it apart.
void ScriptPass::StartDecoding(const std::vector<WideString>& members, const std::vector<WideString>& destinations) {
  std::vector<PlannedMember> planned;
  std::vector<WideString> targets;
  for (size_t i = 0; i < members.size(); ++i) {
    WideString destination = destinations[i];
    if (!Accept(destination)) continue;
    WideString member = members[i];
    ExpandFolderMacros(member);
    // Each member is decoded beside its destination, to be renamed there;
    // not one for the real system folder, which the decoding thread does not
    // see: the pass decodes that itself.
    ExpandFolderMacros(destination);
    if (!WantsNativeSystemFolder(destination)) planned.push_back(PlannedMember{member, ParentFolder(destination)});
    targets.push_back(destination);
  }
  // Before anything is decoded beside a destination: the decoding makes
  // the destinations' folders. The plan of the files then goes while the
  // members decode; it is flushed before the pass places the first one.
  if (!NoteRunFolders(targets)) {
    // The journal cannot take the plan: nothing is decoded or placed.
    journalFailed_ = true;
    return;
  }
  // The decoding threads make the destinations' folders: the product
  // folder gets its rules before any of them.
  GuardProductFolder();
  decodeAhead_.Start(planned);
  std::vector<uint64_t> sizes;
  sizes.reserve(planned.size());
  for (const PlannedMember& member : planned) sizes.push_back(archive_.UnpackedSizeOf(member.name));
  StartRunPlan(targets, sizes);
  for (const WideString& target : targets) {
    const WideString key = AppPathKey(target);
    if (key.IsEmpty()) continue;
    JournalRegistryValue(ProductRegistryRoot(), key, WideString());
    JournalRegistryValue(ProductRegistryRoot(), key, WideString(u"Path"));
  }
  if (!EndRunPlan()) journalFailed_ = true;
}

PassEnd ScriptPass::Run() {
  InstallState& state = State();
  WideString line;
  for (;;) {
    if (journalFailed_ || RunJournalFailed()) {
      // What the run changes from here on could not be undone.
      ShowMessage(window_, WideString(kJournalFull), state.InstallerTitle, MB_OK | MB_ICONERROR);
      state.InstallFailed = true;
      return PassEnd::PlacementCancelled;
    }
    if (StopRequested()) state.InstallFailed = true;
    if (state.InstallFailed) return PassEnd::Stopped;
    if (!script_.Next(line)) return PassEnd::EndOfScript;
    PassEnd end = PassEnd::EndOfScript;
    if (!Perform(line, end)) return end;
    // Only runs of files are quick enough to skip a look: after anything
    // that may have waited (a message, a program) the next line asks.
    if (!line.Equals(Directive::CopyFile)) stopChecked_ = false;
  }
}

bool ScriptPass::Perform(const WideString& line, PassEnd& end) {
  if (line.Equals(Directive::Action)) {
    Action();
  } else if (line.Equals(Directive::CopyFile)) {
    if (!PlaceCopy(end)) return false;
  } else if (line.Equals(Directive::CreateIcon)) {
    Shortcut();
  } else if (line.Equals(Directive::RunAndWaitFile)) {
    RunLine(true);
    PendingDeletionsMayHaveChanged();
  } else if (line.Equals(Directive::RunFile)) {
    RunLine(false);
    PendingDeletionsMayHaveChanged();
  } else if (line.Equals(Directive::Message)) {
    if (!Message()) {
      end = PassEnd::AnsweredNo;
      return false;
    }
  } else if (line.Equals(Directive::Registry)) {
    Registry();
    PendingDeletionsMayHaveChanged();
  }
  return true;
}

void ScriptPass::Action() {
  InstallState& state = State();
  MutexGuard guard(state.ProgressLock);
  script_.NextValues(&state.PendingAction, 1);
  state.ProgressChanged = true;
}

bool ScriptPass::PlaceCopy(PassEnd& end) {
  InstallState& state = State();
  WideString member = Next();
  WideString destination = Next();
  ++copyCounter_;
  {
    MutexGuard guard(state.ProgressLock);
    state.ProgressDone = copyCounter_;
    state.ProgressTotal = copyTotal_;
    state.ProgressChanged = true;
  }
  if (LeftOutForUser(destination)) {
    LogSkippedForUser(u"[CopyFile] " + destination, WideString(u"Windows' own folders are the machine's"));
    return true;
  }
  if (!Accept(destination)) return true;
  WideString memberName = member;
  ExpandFolderMacros(memberName);
  PreparedMember prepared;
  bool cancelled = false;
  switch (decodeAhead_.TakeMember(memberName, prepared)) {
    case TakeResult::Taken:
      cancelled = PlacePreparedFile(prepared, destination, window_);
      decodeAhead_.HandBack(prepared);
      break;
    case TakeResult::NotPlanned:
    case TakeResult::Retry:
      cancelled = PlaceFile(member, destination, window_);
      break;
    case TakeResult::Stopped:
      // Stopped while the member was still being decoded.
      state.InstallFailed = true;
      end = PassEnd::Stopped;
      return false;
  }
  if (cancelled) {
    state.InstallFailed = true;
    end = PassEnd::PlacementCancelled;
    return false;
  }
  RegisterAppPath(destination);
  return true;
}

void ScriptPass::Shortcut() {
  InstallState& state = State();
  WideString values[4];  // target, shortcut file, arguments, option line
  script_.NextValues(values, 4);
  if (IsOptionalAction(values[3])) {
    if (state.Silent) return;
    IconEntry entry;
    entry.ShortcutPath = values[1];
    entry.Target = values[0];
    entry.Arguments = values[2];
    entry.Caption = OptionalCaption(values[3]);
    state.IconEntries.push_back(entry);
    return;
  }
  ShortcutSpec shortcut;
  shortcut.target = values[0];
  shortcut.flags = kShortcutArguments | kShortcutWorkingFolder;
  shortcut.arguments = values[2];
  // The folder of the expanded target: "<Destination>app.exe" has no
  // backslash to cut at before its macros are expanded.
  WideString target = values[0];
  ExpandFolderMacros(target);
  shortcut.workingFolder = ParentFolder(target);
  CreateShortcut(values[1], shortcut);
}

void ScriptPass::RunLine(bool wait) {
  InstallState& state = State();
  WideString values[3];  // program, parameters, option line
  script_.NextValues(values, 3);
  // A program started during the install must find the product registered.
  if (copyCounter_ != 0 && !WriteUninstallRecord()) {
    // No uninstaller for what is placed: the run fails (and is undone).
    state.InstallFailed = true;
    return;
  }
  if (IsOptionalAction(values[2])) {
    if (state.Silent) return;
    RunEntry entry;
    entry.Program = values[0];
    entry.Parameters = values[1];
    entry.Wait = wait;
    entry.Caption = OptionalCaption(values[2]);
    state.RunEntries.push_back(entry);
    return;
  }
  JournalProgramRun(values[0] + u" " + values[1]);
  RunProgram(values[0], values[1], wait, copyCounter_ != 0, window_);
}

UINT MessageIcon(const WideString& kind) {
  if (kind.Equals(u"Warning")) return MB_ICONWARNING;
  if (kind.Equals(u"Information")) return MB_ICONINFORMATION;
  if (kind.Equals(u"Question")) return MB_ICONQUESTION;
  if (kind.Equals(u"Error")) return MB_ICONERROR;
  return 0;
}

bool ScriptPass::Message() {
  InstallState& state = State();
  // Silent: the value lines are left to the pass, which reads them as
  // ordinary lines.
  if (state.Silent) return true;
  WideString text = Next();
  // Line breaks first: a folder that a macro puts in the text may itself
  // hold a backslash followed by "n" ("<Destination>notes.txt").
  text.Replace(WideString(u"\\n"), WideString(u"\r\n"), false);
  ExpandFolderMacros(text);
  const WideString kind = Next();
  if (kind.Equals(u"QuestionYesNo"))
    return ShowMessage(window_, text, state.InstallerTitle, MB_YESNO | MB_ICONQUESTION) != IDNO;
  ShowMessage(window_, text, state.InstallerTitle, MB_OK | MessageIcon(kind));
  return true;
}

void ScriptPass::Registry() {
  RegistryDirective directive;
  WideString values[5];
  script_.NextValues(values, 5);
  directive.root = values[0];
  directive.keyPath = values[1];
  directive.type = values[2];
  directive.valueName = values[3];
  directive.data = values[4];
  ApplyRegistryDirective(directive, window_);
}

// Whether files wait for a restart is State().RebootRequired, beside this.
InstallOutcome OutcomeOf(PassEnd end) {
  switch (end) {
    case PassEnd::Stopped: return InstallOutcome::Cancelled;
    case PassEnd::PlacementCancelled: return InstallOutcome::Failed;
    case PassEnd::AnsweredNo: return InstallOutcome::AnsweredNo;
    case PassEnd::EndOfScript: break;
  }
  return InstallOutcome::Completed;
}

}  // namespace

const WChar kNoUninstaller[] =
    u"This installer is damaged or was changed after it was made: it cannot write its uninstaller. "
    u"Nothing was installed. Download the installer again.";

void InstallWorker(NamedEvent& stopEvent, void* window) {
  InstallState& state = State();
  HWND owner = static_cast<HWND>(window);
  const HRESULT com = CoInitialize(nullptr);
  LogEvent(log_kind::kInstall, state.ProjectName + u" " + state.ProgramVersion + u" into " + state.InstallTo);
  // The uninstaller is made from this program's own file before anything
  // changes: a file that is not the one this program was started from (one
  // swapped in at its path, a damaged one) stops the install here.
  const bool uninstallerReady = !state.UninstallAllowed || PrepareOwnUninstaller();
  if (!uninstallerReady) {
    LogEvent(log_kind::kFailure, u"the uninstaller cannot be made from this installer's file");
    ShowMessage(owner, WideString(kNoUninstaller), state.InstallerTitle, MB_OK | MB_ICONERROR);
  }
  // Nothing was changed, and nothing could be undone: the run fails here.
  if (!uninstallerReady || !StartRunJournal(owner)) {
    MutexGuard guard(state.ProgressLock);
    state.InstallFailed = true;
    state.Outcome = InstallOutcome::Failed;
    state.WorkerSettled = true;
    if (SUCCEEDED(com)) CoUninitialize();
    return;
  }

  NameOtherScopeInstall(owner);
  if (state.OfferUninstallOld && !state.Silent && !OfferOldVersionRemoval(owner)) {
    // The old version's uninstaller restarting Windows is not a restart of
    // this install: nothing of it was placed.
    MutexGuard guard(state.ProgressLock);
    state.Outcome =
        state.RebootEvent.IsSignalled() ? InstallOutcome::OldVersionRestarting : InstallOutcome::Cancelled;
    state.WorkerSettled = true;
    RollBackThisRun(owner);
    if (SUCCEEDED(com)) CoUninitialize();
    return;
  }

  // The old version's uninstaller may have left deletions for the restart.
  PendingDeletionsMayHaveChanged();
  PassEnd end = PassEnd::EndOfScript;
  {
    DiskFile script;
    PayloadContext* payload = PublishedPayload();
    if (payload != nullptr &&
        script.Open(payload->PayloadFolder() + u"setup.dat", GENERIC_READ, OPEN_EXISTING, false)) {
      ScriptPass pass(script, stopEvent, owner, payload->Archive());
      pass.CollectCopyTargets();
      end = pass.Run();
    }
  }

  // Only a pass that reached the end of the script registers DLLs.
  if (end == PassEnd::EndOfScript) {
    {
      MutexGuard guard(state.ProgressLock);
      state.PendingAction = u"Registering Dlls";
      state.ProgressChanged = true;
    }
    RegisterDlls();
  }
  // A cancel confirmed while the pass ran, even during its last steps, is
  // what the install comes to; once settled here, a cancel is too late.
  bool stopped = false;
  {
    MutexGuard guard(state.ProgressLock);
    if (!state.InstallFailed) {
      state.Outcome = OutcomeOf(end);
    } else if (state.Outcome == InstallOutcome::None || state.Outcome == InstallOutcome::Completed) {
      state.Outcome = end == PassEnd::PlacementCancelled ? InstallOutcome::Failed : InstallOutcome::Cancelled;
    }
    stopped = state.InstallFailed;
    state.WorkerSettled = true;
  }
  // Cancelled or failed: the machine as it was before the run.
  if (stopped) RollBackThisRun(owner);
  if (SUCCEEDED(com)) CoUninitialize();
}
