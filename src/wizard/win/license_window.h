#pragma once
// dlgLicense shows the payload's licence text (setup.lic) in the wizard's
// look: borderless, rounded, dragged by its surface, with the header emblem,
// "Installer", "License" and a bitmap close button. It only displays the
// text; nothing is accepted or declined.

#include "ui/win/framed_dialog.h"

class dlgLicense : public FramedDialog {
 public:
  dlgLicense();
  ~dlgLicense() override;

  // Runs the window modally from the executable's template 111, owned by
  // owner (may be null). Returns 1 when "Close", Enter or the close button
  // ended it, 0 for WM_CLOSE (Alt+F4), -1 when it could not be created.
  // Escape does nothing.
  INT_PTR Run(HWND owner);

  void OnCreate() override;
  void OnOk() override;
  void OnClose() override;

 private:
  // The close button ends the window with 1 at once.
  void OnCloseButton() override;
  void ShowLicenceText();
};
