#include "wizard/win/install_window.h"

#include "util/win/windows_api.h"
// windows_api.h first
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include "app/install_state.h"
#include "engine/win/install_worker.h"
#include "engine/win/run_rollback.h"
#include "engine/win/run_scope.h"
#include "engine/win/uninstall_record.h"
#include "payload/win/payload_context.h"
#include "resources/resource_ids.h"
#include "rollback/win/run_journal.h"
#include "util/win/install_log.h"
#include "util/win/message_door.h"
#include "wizard/win/install_folder.h"
#include "wizard/win/license_window.h"
#include "wizard/win/script_scan.h"
#include "wizard/wizard_rules.h"
#include "util/win/system_library.h"

namespace {

constexpr UINT kPollMs = 250;
constexpr DWORD kThreadStopMs = 60000;

}  // namespace

dlgInstall::dlgInstall() = default;

dlgInstall::~dlgInstall() {
  finishThread_.Stop();
  installThread_.Stop();
  // A worker that did not stop in time was suspended before it could undo
  // its changes: undone here. It is never held inside the journal or its
  // own undo (it goes on until it is out of them): two undos at once, or
  // one cut short, would leave the machine in neither state.
  if (installThread_.WasSuspended()) RollBackThisRun(nullptr);
  Unbind();
  for (HICON icon : optionIcons_) {
    if (icon) DestroyIcon(icon);
  }
}

void dlgInstall::Run() {
  // The template holds a progress bar and a SysLink control.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_LINK_CLASS | ICC_STANDARD_CLASSES};
  SystemInitCommonControls(&controls);
  InstallState& state = State();
  if (RunDialog(IDD_INSTALL, nullptr, true) == -1 && state.Outcome == InstallOutcome::None) {
    state.Outcome = InstallOutcome::Failed;
  }
}

void dlgInstall::OnCreate() {
  InstallState& state = State();
  const ScriptScan scan = ScanInstallScript(state.CommandLine);
  if (!scan.requirementMet) {
    state.Outcome = InstallOutcome::Failed;
    CloseDialog(0);
    return;
  }
  if (!SettleInstallFolder(scan, defaultInstallPath_)) {
    state.Outcome = InstallOutcome::Failed;
    CloseDialog(0);
    return;
  }
  // Without a [Project Name] the caption stays "Setup", but the header has
  // no product to name.
  headerName_ = scan.projectNamed ? state.ProjectName : WideString();
  SetWindowTextW(Window(), state.InstallerTitle.W());
  AttachFrame(u"Installer");
  PaintHeader();
  PayloadContext* payload = PublishedPayload();
  if (payload != nullptr && payload->HasLicence()) ShowWindow(DialogItem(IDC_LICENSE_LINK), SW_SHOW);
  AddCloseButton();
  // The elevated copy started for the choice of all users: the folder
  // chosen with it, installed into at once.
  const bool chosenAlready = !state.ScopeChosenFolder.IsEmpty();
  if (chosenAlready) state.InstallTo = state.ScopeChosenFolder;
  scopeFolderSource_ = state.InstallTo;
  if (state.AsksForScope) ShowScopeChoice();
  ShowInstallFolder();
  pollTimer_ = AddTimer(kPollMs);
  if (state.Silent || chosenAlready) StartInstall();
  SetActiveWindow(Window());
  SetForegroundWindow(Window());
}

// The product line of every page, drawn once into the background image.
void dlgInstall::PaintHeader() {
  const InstallState& state = State();
  MutexGuard guard(Frame().PaintLock());
  DrawCentredText(Frame().Background().DC(), HeaderLine(headerName_, state.ProgramVersion), 18,
                  DluToPixelsY(57));
}

void dlgInstall::OnDestroy() {
  options_.Destroy();
  FramedDialog::OnDestroy();
}

void dlgInstall::OnSize(int, int, int type) {
  if (type == SIZE_RESTORED) {
    PaintPage();
    Invalidate();
  }
  handled_ = false;
}

LRESULT dlgInstall::PreDispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  // The finish actions run with the wait cursor over the whole window.
  if (message == WM_SETCURSOR && page_ == WizardPage::ProcessingActions) {
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    handled = true;
    return TRUE;
  }
  // The install is over: the page changes now, not at the next tick.
  if (pollTimer_ != 0 && installThread_.TakeEndNotice(window, message)) {
    OnTimer(pollTimer_, 0);
    handled = true;
    return 0;
  }
  LRESULT result = FramedDialog::PreDispatch(window, message, wParam, lParam, handled);
  if (handled) return result;
  return options_.Filter(window, message, wParam, lParam, handled);
}

void dlgInstall::OnCommand(int id, HWND, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case IDC_INSTALL:
      if (page_ == WizardPage::Ready) StartInstall();
      break;
    case IDC_CANCEL_INSTALL:
      HandleClose();
      break;
    case IDC_CHOOSE_FOLDER:
      if (page_ == WizardPage::Ready) ChooseFolder();
      break;
    case IDC_SCOPE_ALL_USERS:
      if (page_ == WizardPage::Ready) ChangeScope(RunScope::Machine);
      break;
    case IDC_SCOPE_JUST_ME:
      if (page_ == WizardPage::Ready) ChangeScope(RunScope::User);
      break;
    default:
      break;
  }
}

void dlgInstall::OnClose() { HandleClose(); }

LRESULT dlgInstall::OnNotify(NMHDR* header) {
  if (header != nullptr && header->idFrom == IDC_LICENSE_LINK &&
      (header->code == NM_CLICK || header->code == NM_RETURN)) {
    ShowLicence();
    return 0;
  }
  handled_ = false;
  return 0;
}

void dlgInstall::ShowLicence() {
  dlgLicense licence;
  licence.Run(Window());
}

void dlgInstall::OnTimer(UINT id, int) {
  if (id != pollTimer_) {
    handled_ = false;
    return;
  }
  // A tick inside the "Cancel Install?" question (its message loop serves
  // this timer too) must not change the page under the question.
  if (askingToCancel_) return;
  InstallState& state = State();
  if (page_ == WizardPage::Installing && installThread_.IsFinished()) EnterFinished();
  if (page_ == WizardPage::ProcessingActions) FollowFinishActions();
  {
    MutexGuard guard(state.ProgressLock);
    if (page_ == WizardPage::Installing && state.ProgressChanged) {
      state.ProgressChanged = false;
      if (state.PendingAction != state.CurrentAction) {
        state.CurrentAction = state.PendingAction;
        PaintPage();
        RECT strip{0, DluToPixelsY(106), Width(), DluToPixelsY(116)};
        InvalidateRect(Window(), &strip, TRUE);
      }
      const int percent = state.ProgressTotal == 0 ? 0 : state.ProgressDone * 100 / state.ProgressTotal;
      SendMessageW(DialogItem(IDC_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    }
  }
  if (closeRequested_) {
    closeRequested_ = false;
    HandleClose();
  }
}

void dlgInstall::StartInstall() {
  InstallState& state = State();
  if (state.AsksForScope && state.Scope == RunScope::Machine) {
    // For all users: the elevated copy installs (this process has no
    // rights to); the wizard ends here without an outcome of its own.
    state.AllUsersChosen = true;
    LogEvent(log_kind::kScope, u"the person chose all users: the elevated copy installs into " + state.InstallTo);
    EndWizard();
    return;
  }
  if (state.AsksForScope) LogEvent(log_kind::kScope, WideString(u"the person chose the current user alone"));
  page_ = WizardPage::Installing;
  installThread_.KeepRunningWhile(&RunJournalBusy);
  installThread_.NotifyWhenEnded(Window());
  if (!installThread_.Start(InstallWorker, Window(), kThreadStopMs)) {
    state.InstallFailed = true;
    state.Outcome = InstallOutcome::Failed;
  }
  for (int id : {IDC_INSTALL_FOLDER, IDC_CHOOSE_FOLDER, IDC_LICENSE_LINK, IDC_INSTALL, IDC_SCOPE_ALL_USERS,
                 IDC_SCOPE_JUST_ME}) {
    ShowWindow(DialogItem(id), SW_HIDE);
  }
  HWND progress = DialogItem(IDC_PROGRESS);
  SendMessageW(progress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SendMessageW(progress, PBM_SETPOS, 0, 0);
  ShowWindow(progress, SW_SHOW);
  HWND cancel = DialogItem(IDC_CANCEL_INSTALL);
  SetWindowPos(cancel, nullptr, Width() / 2 - DluToPixelsX(27), DluToPixelsY(211), DluToPixelsX(54),
               DluToPixelsY(16), SWP_NOZORDER | SWP_NOACTIVATE);
  // The focus was on "Install", which is hidden now.
  SetFocus(cancel);
  PaintPage();
  Invalidate();
}

void dlgInstall::EnterFinished() {
  InstallState& state = State();
  page_ = WizardPage::Finished;
  SetDlgItemTextW(Window(), IDC_CANCEL_INSTALL, L"Finish");
  ShowWindow(DialogItem(IDC_PROGRESS), SW_HIDE);
  SendMessageW(Window(), WM_SETREDRAW, FALSE, 0);
  PaintPage();
  Invalidate();
  bool endNow = false;
  if (state.InstallFailed) {
    // A worker that ended without saying why failed.
    if (state.Outcome == InstallOutcome::None || state.Outcome == InstallOutcome::Completed) {
      state.Outcome = InstallOutcome::Failed;
    }
    // Unattended, nobody would ever click "Finish".
    endNow = state.Silent;
  } else if (!WriteUninstallRecord() || !CommitThisRun()) {
    // No uninstaller, or the commit cannot be made durable: not installed.
    state.InstallFailed = true;
    state.Outcome = InstallOutcome::Failed;
    RollBackThisRun(Window());
    endNow = state.Silent;
  } else {
    installCompleted_ = true;
    if (!state.IconEntries.empty() || !state.RunEntries.empty() || OffersRestart()) {
      hasFinishOptions_ = true;
      BuildOptionList();
      if (state.Silent) PerformFinishActions();
      PaintPage();
      Invalidate();
    } else {
      endNow = state.Silent;
    }
  }
  SendMessageW(Window(), WM_SETREDRAW, TRUE, 0);
  Invalidate();
  if (endNow) HandleClose();
}

void dlgInstall::HandleClose() {
  InstallState& state = State();
  switch (page_) {
    case WizardPage::Installing: {
      if (askingToCancel_) return;
      askingToCancel_ = true;
      const int answer =
          ShowMessage(Window(), WideString(u"Cancel Install?"), state.InstallerTitle, MB_ICONQUESTION | MB_YESNO);
      askingToCancel_ = false;
      if (answer != IDYES) return;
      bool tooLate = false;
      {
        MutexGuard guard(state.ProgressLock);
        tooLate = state.WorkerSettled;
        if (!tooLate) {
          state.InstallFailed = true;
          state.Outcome = InstallOutcome::Cancelled;
        }
      }
      if (tooLate) {
        // The install ended while the question was open: it is what it
        // is, and the Finished page (with the uninstall record) follows.
        LogEvent(log_kind::kInstall, u"the install had ended when its cancel was confirmed: nothing was stopped");
        EnterFinished();
        return;
      }
      // What the worker placed until it stops is written down by the worker.
      EndWizard();
      return;
    }
    case WizardPage::Finished:
      if (hasFinishOptions_) {
        PerformFinishActions();
        return;
      }
      break;
    case WizardPage::Ready:
      state.Outcome = InstallOutcome::Cancelled;
      break;
    case WizardPage::ProcessingActions:
      break;
  }
  EndWizard();
}

void dlgInstall::EndWizard() {
  if (pollTimer_ != 0) {
    RemoveTimer(pollTimer_);
    pollTimer_ = 0;
  }
  CloseDialog(0);
}

void dlgInstall::ChooseFolder() {
  InstallState& state = State();
  wchar_t displayName[MAX_PATH] = {};
  BROWSEINFOW browse{};
  browse.hwndOwner = Window();
  browse.pszDisplayName = displayName;
  browse.lpszTitle = L"Select Installation Folder";
  browse.ulFlags = BIF_NEWDIALOGSTYLE | BIF_EDITBOX;
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&browse);
  if (item == nullptr) return;
  wchar_t path[MAX_PATH] = {};
  const bool hasPath = SHGetPathFromIDListW(item, path) != FALSE;
  CoTaskMemFree(item);
  // A virtual folder (such as "This PC") has no path to install to.
  if (!hasPath || path[0] == 0) return;
  state.InstallTo = ChosenInstallFolder(WideString(path), defaultInstallPath_);
  folderChosen_ = true;
  ShowInstallFolder();
}

void dlgInstall::ShowScopeChoice() {
  const bool allUsers = State().Scope == RunScope::Machine;
  CheckRadioButton(Window(), IDC_SCOPE_ALL_USERS, IDC_SCOPE_JUST_ME,
                   allUsers ? IDC_SCOPE_ALL_USERS : IDC_SCOPE_JUST_ME);
  for (int id : {IDC_SCOPE_ALL_USERS, IDC_SCOPE_JUST_ME}) ShowWindow(DialogItem(id), SW_SHOW);
}

void dlgInstall::ChangeScope(RunScope scope) {
  InstallState& state = State();
  if (state.Scope == scope) return;
  EnterRunScope(scope);
  // "<Program Files>" is another folder now.
  if (!folderChosen_) state.InstallTo = scopeFolderSource_;
  ShowInstallFolder();
}
