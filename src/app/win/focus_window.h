#pragma once
// dlgNonElevateWndWithFocus: the window that the first process shows while
// Windows asks for elevation and the elevated copy starts, so that the user
// sees that something is happening. Modeless, without owner, from dialog
// 125: the common framed background, "Installer" centred at the top and
// "Processing Installer" centred below it; it can be dragged by its surface.
//
// Its messages are served by whatever loop the creating thread runs; a
// thread that only waits leaves it unpainted and not draggable.

#include "ui/win/framed_dialog.h"

class dlgNonElevateWndWithFocus : public FramedDialog {
 public:
  dlgNonElevateWndWithFocus() = default;
  // Destroys the window.
  ~dlgNonElevateWndWithFocus() override;

  // Creates the window and shows it. False when it cannot be created.
  bool Create();
  // Hides it; it stays until the object is destroyed.
  void Hide();

  void OnCreate() override;
};
