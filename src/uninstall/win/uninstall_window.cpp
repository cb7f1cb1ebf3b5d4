#include "uninstall/win/uninstall_window.h"

#include "util/win/windows_api.h"
// windows_api.h first
#include <commctrl.h>

#include "app/install_state.h"
#include "resources/resource_ids.h"
#include "restart/win/rebooting_window.h"
#include "ui/win/dpi.h"
#include "uninstall/win/uninstall_worker.h"
#include "util/win/system_library.h"

namespace {

constexpr UINT kPollMs = 250;
constexpr DWORD kWorkerStopMs = 60000;
constexpr COLORREF kBlack = 0x000000;

}  // namespace

dlgUnInstall::dlgUnInstall(bool sayOnReboot) : sayOnReboot_(sayOnReboot) {}

dlgUnInstall::~dlgUnInstall() {
  worker_.Stop();
  Unbind();
  for (HICON icon : rowIcons_) {
    if (icon) DestroyIcon(icon);
  }
}

void dlgUnInstall::Run() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  SystemInitCommonControls(&controls);
  InstallState& state = State();
  if (RunDialog(IDD_UNINSTALL, nullptr, true) == -1 && state.Outcome == InstallOutcome::None) {
    state.Outcome = InstallOutcome::Failed;
  }
}

void dlgUnInstall::OnCreate() {
  const InstallState& state = State();
  SetWindowTextW(Window(), state.InstallerTitle.W());
  AttachFrame(u"Uninstaller");
  {
    MutexGuard guard(Frame().PaintLock());
    DrawCentredText(Frame().Background().DC(), state.ProjectName, 18, DluToPixelsY(57));
  }
  AddCloseButton();
  PaintPage();
  pollTimer_ = AddTimer(kPollMs);
  if (state.Silent || sayOnReboot_) Start();
  SetForegroundWindow(Window());
}

void dlgUnInstall::OnDestroy() {
  restartRow_.Destroy();
  FramedDialog::OnDestroy();
}

LRESULT dlgUnInstall::PreDispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  // The uninstall is over: the page changes now, not at the next tick.
  if (pollTimer_ != 0 && worker_.TakeEndNotice(window, message)) {
    OnTimer(pollTimer_, 0);
    handled = true;
    return 0;
  }
  LRESULT result = FramedDialog::PreDispatch(window, message, wParam, lParam, handled);
  if (handled) return result;
  return restartRow_.Filter(window, message, wParam, lParam, handled);
}

void dlgUnInstall::OnSize(int, int, int type) {
  if (type == SIZE_RESTORED) {
    PaintPage();
    Invalidate();
  }
  handled_ = false;
}

void dlgUnInstall::OnOk() {
  if (page_ == UninstallPage::Ready) Start();
}

void dlgUnInstall::OnCancel() { CloseRequest(); }

void dlgUnInstall::OnClose() { CloseRequest(); }

void dlgUnInstall::Start() {
  InstallState& state = State();
  page_ = UninstallPage::Uninstalling;
  worker_.NotifyWhenEnded(Window());
  if (!worker_.Start(UninstallWorker, Window(), kWorkerStopMs)) state.Outcome = InstallOutcome::Failed;
  ShowWindow(DialogItem(IDOK), SW_HIDE);
  HWND cancel = DialogItem(IDCANCEL);
  SetWindowPos(cancel, nullptr, Width() / 2 - DluToPixelsX(27), DluToPixelsY(211), DluToPixelsX(54),
               DluToPixelsY(16), SWP_NOZORDER | SWP_NOACTIVATE);
  EnableWindow(cancel, FALSE);
  CloseButton().Disable();
  HWND progress = DialogItem(IDC_PROGRESS);
  SendMessageW(progress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  ShowWindow(progress, SW_SHOW);
  PaintPage();
  Invalidate();
}

void dlgUnInstall::OnTimer(UINT id, int) {
  if (id != pollTimer_) {
    handled_ = false;
    return;
  }
  InstallState& state = State();
  if (page_ == UninstallPage::Uninstalling && worker_.IsFinished()) EnterCompleted();
  if (page_ == UninstallPage::Uninstalling) {
    MutexGuard guard(state.ProgressLock);
    if (state.ProgressChanged) {
      state.ProgressChanged = false;
      const int percent = state.ProgressTotal == 0 ? 0 : state.ProgressDone * 100 / state.ProgressTotal;
      SendMessageW(DialogItem(IDC_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    }
  }
  if (closeRequested_) {
    closeRequested_ = false;
    CloseRequest();
  }
}

void dlgUnInstall::EnterCompleted() {
  InstallState& state = State();
  page_ = UninstallPage::Completed;
  HWND finish = DialogItem(IDCANCEL);
  SetWindowTextW(finish, L"Finish");
  EnableWindow(finish, TRUE);
  EnableWindow(CloseButton().Control(), TRUE);
  ShowWindow(DialogItem(IDC_PROGRESS), SW_HIDE);
  if (state.UninstallRebootRequired) AddRestartRow();
  PaintPage();
  Invalidate();
  // Unattended, nobody would ever click "Finish": the restart row's default
  // (ticked) is carried out at once. Started by an installer, the window
  // stays only when a restart is to be offered.
  if (state.Silent || (sayOnReboot_ && !state.UninstallRebootRequired)) CloseRequest();
}

void dlgUnInstall::AddRestartRow() {
  const int size = OptionIconSize();
  const int ids[] = {IDI_CHECK_TICKED, IDI_CHECK_EMPTY, IDI_CHECK_TICKED_GREY, IDI_CHECK_EMPTY_GREY, IDI_RESTART};
  for (int i = 0; i < 5; ++i) rowIcons_[i] = LoadIconAtSize(ids[i], size);
  restartRow_.SetStateIcons(rowIcons_[0], rowIcons_[1], rowIcons_[2], rowIcons_[3]);
  restartRow_.Create(Window());
  restartRow_.UseThinBorder();
  ValueRow row;
  row.kind = kRowCheck;
  row.name = u"Restart Computer [Required to Finalize Uninstall]";
  row.value = u"1";
  row.icon = rowIcons_[4];
  row.iconPosition = 6;
  row.textPosition = 48;
  restartRow_.AddRow(row);
}

void dlgUnInstall::CloseRequest() {
  InstallState& state = State();
  if (page_ == UninstallPage::Uninstalling) return;
  if (page_ == UninstallPage::Ready) state.Outcome = InstallOutcome::Cancelled;
  if (page_ == UninstallPage::Completed && state.UninstallRebootRequired && restartRow_.RowCount() > 0 &&
      restartRow_.IsTicked(0)) {
    dlgRebooting restart;
    if (restart.Run(sayOnReboot_)) state.RebootEvent.Set();
  }
  if (pollTimer_ != 0) {
    RemoveTimer(pollTimer_);
    pollTimer_ = 0;
  }
  CloseDialog(0);
}

void dlgUnInstall::PaintPage() {
  if (Window() == nullptr || IsMinimised()) return;
  const InstallState& state = State();
  MutexGuard guard(Frame().PaintLock());
  StartPage();
  HDC dc = Frame().Page().DC();
  const int mid = Height() / 2;
  switch (page_) {
    case UninstallPage::Ready: {
      DrawCentredText(dc, u"Ready to Uninstall", 30, DluToPixelsY(35));
      DrawStatusIcon(dc, IDI_UNINSTALL, DluToPixelsX(25), mid);
      TextFont font;
      font.Create(nullptr, u"Tahoma", ScaleForDpi(21), kBlack);
      const WideString question = WideString::Format(u"Remove %s?", state.ProjectName);
      DrawLabel(dc, font, DluToPixelsX(90), mid - font.TextHeight(question, false, dc) / 2, question);
      break;
    }
    case UninstallPage::Uninstalling:
      DrawCentredText(dc, u"Uninstalling", 30, DluToPixelsY(35));
      break;
    case UninstallPage::Completed: {
      // A failed run (the record could not be read) removed nothing.
      if (state.Outcome == InstallOutcome::Failed) {
        DrawCentredText(dc, u"Uninstall is Incomplete", 30, DluToPixelsY(35));
        DrawResult(dc, IDI_FAILURE, mid, u"Uninstall was not successful.", u"Click Finish to exit.");
        break;
      }
      DrawCentredText(dc, u"Uninstall Completed", 30, DluToPixelsY(35));
      const bool restart = state.UninstallRebootRequired;
      DrawResult(dc, IDI_SUCCESS, restart ? mid - DluToPixelsY(15) : mid,
                WideString::Format(u"%s has been removed successfully.", state.ProjectName),
                restart ? u"Review and click Finish to exit." : u"Click Finish to exit.");
      break;
    }
  }
}
