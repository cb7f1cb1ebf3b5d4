#pragma once
// dlgUnInstall: the uninstaller's window (template 123). It asks for
// confirmation, runs the uninstall engine on a worker thread and follows its
// progress every 250 ms, reports completion and, when files remain to be
// removed at the next restart, offers the restart; a failed run (no record
// to read) ends on "Uninstall is Incomplete". Started by an installer
// ("--sayonrebootruninst") it starts at once and closes itself when no
// restart is needed. The uninstaller does not show it when unattended
// ("--silent", quiet_uninstall.h); should it run so all the same, it
// starts at once and finishes by itself.

#include "ui/win/framed_dialog.h"
#include "ui/win/value_list.h"
#include "util/win/worker_thread.h"

enum class UninstallPage : int { Ready = 0, Uninstalling = 1, Completed = 2 };

class dlgUnInstall : public FramedDialog {
 public:
  explicit dlgUnInstall(bool sayOnReboot);
  // Stops the worker (waited for up to 60 s, then suspended).
  ~dlgUnInstall() override;

  // Runs the modal dialog without owner; returns when it has closed. The
  // outcome is in State().Outcome.
  void Run();

  UninstallPage Page() const { return page_; }

  void OnCreate() override;
  void OnClose() override;
  void OnDestroy() override;
  void OnOk() override;
  void OnCancel() override;
  void OnSize(int width, int height, int type) override;
  void OnTimer(UINT id, int userValue) override;
  LRESULT PreDispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  void Start();
  void EnterCompleted();
  void AddRestartRow();
  void CloseRequest();
  void PaintPage();

  bool sayOnReboot_;
  UninstallPage page_ = UninstallPage::Ready;
  WorkerThread worker_;
  XValueList restartRow_;
  HICON rowIcons_[5]{};  // the four state icons, then the restart icon
  UINT pollTimer_ = 0;
};
