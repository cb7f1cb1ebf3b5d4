#pragma once
// dlgInstall: the installer's one interactive window. A borderless dialog
// (template 101) with four pages painted on one background: Ready, where the
// user sees the product, the install folder and the space it needs, may
// read the licence, choose another folder and, for a script that lets the
// person choose, who the install is for; Installing, which follows the
// install worker by polling State() every 250 ms; Finished, with the result
// and the optional actions (restart, shortcuts, program runs); and
// ProcessingActions while the chosen actions run on a thread of their own.
// With State().Silent the window runs through its pages by itself.
//
// The job is split over several files: this window's messages and page
// changes (install_window.cpp), the page painter (install_pages.cpp) and
// the finish actions (finish_actions.cpp); the script scan is
// script_scan.cpp.

#include <cstdint>

#include "script/install_scope.h"
#include "ui/win/framed_dialog.h"
#include "ui/win/value_list.h"
#include "util/wide_string.h"
#include "util/win/worker_thread.h"

enum class WizardPage : int { Ready = 0, Installing = 1, Finished = 2, ProcessingActions = 3 };

class dlgInstall : public FramedDialog {
 public:
  dlgInstall();
  // Stops the finish thread, then the install thread (each waited for up to
  // 60 s, then suspended), and releases the images and buttons.
  ~dlgInstall() override;

  // Runs the modal dialog without owner; returns when it has ended. The
  // outcome is in State().Outcome.
  void Run();

  WizardPage Page() const { return page_; }

  void OnCreate() override;
  void OnClose() override;
  void OnCommand(int id, HWND control, int code) override;
  void OnDestroy() override;
  LRESULT OnNotify(NMHDR* header) override;
  void OnSize(int width, int height, int type) override;
  void OnTimer(UINT id, int userValue) override;
  LRESULT PreDispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  // install_window.cpp
  void PaintHeader();
  void StartInstall();
  void EnterFinished();
  void HandleClose();
  void ChooseFolder();
  void ShowLicence();
  // Who the install is for, on the Ready page: the folder follows the
  // choice until the person picks one.
  void ShowScopeChoice();
  void ChangeScope(RunScope scope);
  void EndWizard();

  // install_pages.cpp
  void ShowInstallFolder();
  void PaintPage();
  void PaintFinishedPage(HDC dc);

  // finish_actions.cpp
  // The Finished page offers the restart: files wait for it, and the
  // command line did not say "--noautoreboot".
  static bool OffersRestart();
  void BuildOptionList();
  void PerformFinishActions();
  void FollowFinishActions();
  int RowOfFinishAction(int action) const;
  static void FinishActionsThread(NamedEvent& stopEvent, void* restartChosen);

  bool askingToCancel_ = false;  // "Cancel Install?" is open
  WorkerThread installThread_;
  WorkerThread finishThread_;
  XValueList options_;
  HICON optionIcons_[7]{};  // four state icons, then restart, shortcut and run rows
  WideString defaultInstallPath_;
  WideString scopeFolderSource_;  // the install folder with its macros, for a change of scope
  bool folderChosen_ = false;
  WideString headerName_;  // the product in the header: empty without a [Project Name]
  WizardPage page_ = WizardPage::Ready;
  bool installCompleted_ = false;
  bool hasFinishOptions_ = false;
  uint64_t freeSpaceMb_ = 0;
  int finishActionsFollowed_ = 0;
  UINT pollTimer_ = 0;
};
