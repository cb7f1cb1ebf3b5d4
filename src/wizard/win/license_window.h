#pragma once
// dlgLicense shows the payload's licence text (setup.lic) in the wizard's
// look: borderless, rounded, dragged by its surface, with the header emblem,
// "Installer", "License" and a bitmap close button. It only displays the
// text; nothing is accepted or declined.

#include "ui/win/borderless_frame.h"
#include "ui/win/xbutton.h"
#include "ui/win/xwindow.h"

class dlgLicense : public XWindow {
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
  void OnDestroy() override;
  void OnEraseBackground(HDC dc) override;
  void OnMouseDown(int x, int y, UINT message, WPARAM keys) override;
  void OnMouseUp(int x, int y, UINT message, WPARAM keys) override;
  void OnMouseMove(int x, int y, WPARAM keys) override;
  HBRUSH OnCtlColorStatic(HDC dc, HWND control) override;
  HBRUSH OnCtlColorDialog(HDC dc) override;
  LRESULT PreDispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  // For tests: the composed background and the close button.
  const BorderlessFrame& Frame() const { return frame_; }
  const XButton& CloseButton() const { return close_; }

 private:
  // The bitmap button at the top right; a click ends the window with 1.
  class _CmdClose : public XButton {
   public:
    explicit _CmdClose(dlgLicense& window) : window_(window) {}
    void OnClick(int button) override;

   private:
    dlgLicense& window_;
  };

  void PaintTitles();
  void ShowLicenceText();
  void AddCloseButton();

  ButtonGroup buttons_;
  _CmdClose close_;
  BorderlessFrame frame_;  // background image, white brush, dragging
};
