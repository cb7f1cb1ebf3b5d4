// The page painter of the install wizard: every page is composed in the
// page image (the background plus the page's texts) and reaches the screen
// when the window erases its background.

#include "util/win/windows_api.h"

#include "app/install_state.h"
#include "engine/win/folder_macros.h"
#include "payload/win/payload_context.h"
#include "resources/resource_ids.h"
#include "ui/win/dpi.h"
#include "ui/win/text_font.h"
#include "wizard/win/install_window.h"
#include "wizard/wizard_rules.h"

namespace {

constexpr COLORREF kBlack = 0x000000;


}  // namespace

void dlgInstall::ShowInstallFolder() {
  InstallState& state = State();
  ExpandFolderMacros(state.InstallTo);
  SetDlgItemTextW(Window(), IDC_INSTALL_FOLDER, state.InstallTo.W());
  // The drive of the folder; the figure stays as it was when it cannot be
  // measured (no drive letter, a missing drive). The extended call, because
  // the plain one cannot count beyond 2 GB on some systems; and the bytes
  // this user may take, which quotas and reserved space keep below the
  // volume's free bytes.
  const WideString root = state.InstallTo.Left(1) + u":\\";
  ULARGE_INTEGER available, total, free;
  if (GetDiskFreeSpaceExW(root.W(), &available, &total, &free)) freeSpaceMb_ = available.QuadPart / 1024 / 1024;
  PaintPage();
  Invalidate();
}

void dlgInstall::PaintPage() {
  if (Window() == nullptr || IsMinimised()) return;
  InstallState& state = State();
  MutexGuard guard(Frame().PaintLock());
  StartPage();
  HDC dc = Frame().Page().DC();
  TextFont font;
  auto title = [&](const WChar* text) { DrawCentredText(dc, text, 30, DluToPixelsY(35)); };
  switch (page_) {
    case WizardPage::Ready: {
      title(u"Ready to Install");
      font.Create(nullptr, u"Tahoma", ScaleForDpi(20), kBlack);
      DrawLabel(dc, font, DluToPixelsX(25), DluToPixelsY(102), u"Install To");
      PayloadContext* payload = PublishedPayload();
      if (payload != nullptr && payload->HasLicence()) {
        DrawLabel(dc, font, DluToPixelsX(25), DluToPixelsY(157), u"Terms & Conditions");
      }
      font.Create(nullptr, u"Tahoma", ScaleForDpi(12), kBlack);
      const WideString space = SpaceLine(state.TotalInstallSize, freeSpaceMb_);
      DrawLabel(dc, font, DluToPixelsX(373) - font.TextWidth(space, false, -1, dc), DluToPixelsY(132), space);
      break;
    }
    case WizardPage::Installing: {
      title(u"Installing");
      font.Create(nullptr, u"Tahoma", ScaleForDpi(14), kBlack);
      WideString action;
      {
        MutexGuard progress(state.ProgressLock);
        action = state.CurrentAction;
      }
      // A long caption (a path, say) ends in "..." at the progress bar's end.
      const int room = DluToPixelsX(348);
      DrawLabel(dc, font, DluToPixelsX(25), DluToPixelsY(106), font.FitWithEllipsis(room, action, dc));
      break;
    }
    case WizardPage::Finished:
      title(state.InstallFailed ? u"Install is Incomplete" : u"Successful Install");
      PaintFinishedPage(dc);
      break;
    case WizardPage::ProcessingActions:
      title(u"Processing Actions");
      break;
  }
}

void dlgInstall::PaintFinishedPage(HDC dc) {
  const InstallState& state = State();
  const bool failed = state.InstallFailed;
  const int mid = Height() / 2 - (hasFinishOptions_ ? DluToPixelsY(15) : 0);
  const WChar* second = hasFinishOptions_ ? u"Review and click Finish to exit." : u"Click Finish to exit.";
  if (failed && state.RollbackIncomplete) {
    second = u"Not all of its changes could be undone. Click Finish to exit.";
  } else if (failed && state.RolledBack && state.RollbackLeftProgramRuns) {
    // What the programs it ran did is theirs: no rollback knows of it.
    second = u"Its changes were undone, except what the programs it ran did. Click Finish to exit.";
  } else if (failed && state.RolledBack) {
    second = u"Its changes were undone. Click Finish to exit.";
  }
  DrawResult(dc, failed ? IDI_FAILURE : IDI_SUCCESS, mid,
             failed ? u"Installation was not successful." : u"Installation has completed successfully.", second);
}
