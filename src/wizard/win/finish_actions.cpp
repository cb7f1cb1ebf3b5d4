// The Finished page's options and the finish actions: the option list (the
// restart row, then one row per optional shortcut and per optional program
// run), the thread that performs the ticked ones, and the rows it hands
// back as it goes.

#include "util/win/windows_api.h"
// windows_api.h first
#include <objbase.h>

#include "app/install_state.h"
#include "engine/win/folder_macros.h"
#include "engine/win/program_runs.h"
#include "engine/win/shortcuts.h"
#include "resources/resource_ids.h"
#include "restart/win/rebooting_window.h"
#include "ui/win/dpi.h"
#include "util/path_text.h"
#include "wizard/win/install_window.h"
#include "wizard/wizard_rules.h"

namespace {

constexpr DWORD kThreadStopMs = 60000;

enum OptionIcon { kTicked, kEmpty, kTickedGrey, kEmptyGrey, kRestartRow, kShortcutRow, kRunRow };

}  // namespace

bool dlgInstall::OffersRestart() {
  // "--noautoreboot" leaves the restart to whoever started the install (a
  // container offers one restart after all its installers): the exit code
  // 3010 tells that one is pending.
  const InstallState& state = State();
  return state.RebootRequired && state.AutoReboot;
}

void dlgInstall::BuildOptionList() {
  InstallState& state = State();
  // A caption ending in "!" is offered unticked, without its "!".
  auto offer = [](WideString& caption) {
    WideString shown;
    const bool selected = FinishOptionCaption(caption, shown);
    caption = shown;
    return selected;
  };
  for (IconEntry& entry : state.IconEntries) entry.Selected = offer(entry.Caption);
  for (RunEntry& entry : state.RunEntries) entry.Selected = offer(entry.Caption);

  const int size = OptionIconSize();
  const int ids[] = {IDI_CHECK_TICKED, IDI_CHECK_EMPTY,  IDI_CHECK_TICKED_GREY, IDI_CHECK_EMPTY_GREY,
                     IDI_RESTART,      IDI_SHORTCUT,     IDI_RUN_PROGRAM};
  for (int i = 0; i < 7; ++i) {
    if (optionIcons_[i] == nullptr) optionIcons_[i] = LoadIconAtSize(ids[i], size);
  }
  options_.SetStateIcons(optionIcons_[kTicked], optionIcons_[kEmpty], optionIcons_[kTickedGrey],
                         optionIcons_[kEmptyGrey]);
  options_.Create(Window());
  options_.UseThinBorder();

  auto addRow = [&](const WideString& name, int icon, bool ticked) {
    ValueRow row;
    row.kind = kRowCheck;
    row.name = name;
    row.value = ticked ? u"1" : u"0";
    row.icon = optionIcons_[icon];
    row.iconPosition = 6;
    row.textPosition = 48;
    options_.AddRow(row);
  };
  if (OffersRestart()) addRow(u"Restart Computer [Required to Finalize Setup]", kRestartRow, true);
  for (const IconEntry& entry : state.IconEntries) addRow(u"Create Icon: " + entry.Caption, kShortcutRow, entry.Selected);
  for (const RunEntry& entry : state.RunEntries) addRow(u"Run Program: " + entry.Caption, kRunRow, entry.Selected);
}

void dlgInstall::PerformFinishActions() {
  InstallState& state = State();
  EnableWindow(DialogItem(IDC_CANCEL_INSTALL), FALSE);
  CloseButton().Disable();
  page_ = WizardPage::ProcessingActions;
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));

  int row = 0;
  bool restartChosen = false;
  if (OffersRestart()) {
    restartChosen = options_.IsTicked(0);
    row = 1;
  }
  for (IconEntry& entry : state.IconEntries) entry.Selected = options_.IsTicked(row++);
  for (RunEntry& entry : state.RunEntries) entry.Selected = options_.IsTicked(row++);

  state.WorkerOwnerWindow = Window();
  state.FinishActionsDone = 0;
  finishActionsFollowed_ = 0;
  finishThread_.Start(FinishActionsThread, restartChosen ? this : nullptr, kThreadStopMs);

  for (int i = 0; i < options_.RowCount(); ++i) options_.SetDisabled(i, true);
  options_.Invalidate();
  PaintPage();
  Invalidate();
}

// The thread performs icons, then runs, then the restart; the list shows
// the restart row first.
int dlgInstall::RowOfFinishAction(int action) const {
  const InstallState& state = State();
  if (!OffersRestart()) return action;
  const int optional = static_cast<int>(state.IconEntries.size() + state.RunEntries.size());
  return action < optional ? action + 1 : 0;
}

void dlgInstall::FollowFinishActions() {
  const int done = State().FinishActionsDone;
  for (int action = finishActionsFollowed_; action < done; ++action) {
    const int row = RowOfFinishAction(action);
    if (row < options_.RowCount() && options_.IsTicked(row)) options_.SetDisabled(row, false);
  }
  finishActionsFollowed_ = done;
  options_.Invalidate();
  if (finishThread_.IsFinished()) {
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    HandleClose();
  }
}

void dlgInstall::FinishActionsThread(NamedEvent& stopEvent, void* restartChosen) {
  InstallState& state = State();
  const HRESULT com = CoInitialize(nullptr);
  for (const IconEntry& entry : state.IconEntries) {
    if (stopEvent.IsSignalled()) break;
    if (entry.Selected) {
      // The working folder is the target's folder, taken once the folder
      // macros are expanded ("<Destination>app.exe" has no backslash before).
      WideString target = entry.Target;
      ExpandFolderMacros(target);
      ShortcutSpec shortcut;
      shortcut.target = entry.Target;
      shortcut.arguments = entry.Arguments;
      shortcut.workingFolder = ParentFolder(target);
      shortcut.flags = kShortcutArguments | kShortcutWorkingFolder;
      CreateShortcut(entry.ShortcutPath, shortcut);
    }
    state.FinishActionsDone = state.FinishActionsDone + 1;
  }
  for (const RunEntry& entry : state.RunEntries) {
    if (stopEvent.IsSignalled()) break;
    if (entry.Selected) RunProgram(entry.Program, entry.Parameters, entry.Wait, true, state.WorkerOwnerWindow);
    state.FinishActionsDone = state.FinishActionsDone + 1;
  }
  if (restartChosen != nullptr && !stopEvent.IsSignalled()) {
    dlgRebooting restart;
    restart.Run(false);
    state.FinishActionsDone = state.FinishActionsDone + 1;
  }
  if (SUCCEEDED(com)) CoUninitialize();
}
