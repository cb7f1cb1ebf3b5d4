#pragma once
// FramedDialog: what every borderless dialog of the system shares on top of
// XWindow: the frame (drop shadow, rounded region, framed background and
// page images, white control colours; BorderlessFrame), dragging by the
// surface, and the bitmap close button at the top right corner with its
// tool tip "Close", driven by the window's ButtonGroup.
//
// A derived window calls AttachFrame and AddCloseButton from OnCreate and
// lets OnDestroy reach this class (or calls StopButtons itself). The close
// button's click calls OnCloseButton, which by default sets
// closeRequested_ for the derived window's timer to serve.

#include <vector>

#include "ui/win/borderless_frame.h"
#include "ui/win/text_font.h"
#include "ui/win/xbutton.h"
#include "ui/win/xwindow.h"

// A text as a window drew it: where, how large, and whether on the page
// image (redrawn with each page) or on the background (drawn once).
struct DrawnText {
  WideString text;
  RECT box;
  int fontHeight;
  bool onPage;
};

class FramedDialog : public XWindow {
 public:
  FramedDialog();
  ~FramedDialog() override;

  void OnDestroy() override;
  void OnEraseBackground(HDC dc) override;
  HBRUSH OnCtlColorStatic(HDC dc, HWND control) override;
  HBRUSH OnCtlColorDialog(HDC dc) override;
  void OnMouseDown(int x, int y, UINT message, WPARAM keys) override;
  void OnMouseUp(int x, int y, UINT message, WPARAM keys) override;
  void OnMouseMove(int x, int y, WPARAM keys) override;
  // Offers every message to the close button's group first.
  LRESULT PreDispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  // The texts of the background and of the current page, in drawing order.
  std::vector<DrawnText> DrawnTexts();
  // The bitmap close button (exists once AddCloseButton has run).
  XButton& CloseButton() { return close_; }
  bool Dragging() const { return frame_.Dragging(); }

 protected:
  // The bitmap close button; its click calls the owner's OnCloseButton.
  class _CmdClose : public XButton {
   public:
    explicit _CmdClose(FramedDialog& owner) : owner_(owner) {}
    void OnClick(int button) override;

   private:
    FramedDialog& owner_;
  };

  virtual void OnCloseButton();

  // Shadow, region, white brush and the two images with the framed
  // background painted, and the window's title (Tahoma 21, black) centred
  // across the header emblem at the top; the emblem widens for a long
  // title, and a title too long even then ends in "...". Returns the title
  // as drawn.
  WideString AttachFrame(const WideString& title);
  // Copies the background into the page image and forgets the texts of
  // the previous page.
  void StartPage();
  // Draws text with its top left corner at (x, y) into dc (the background
  // or the page image) and remembers it.
  void DrawLabel(HDC dc, TextFont& font, int x, int y, const WideString& text);
  // The same centred across the window, in Tahoma of the given height (px at
  // 96 DPI, scaled), black.
  void DrawCentredText(HDC dc, const WideString& text, int height, int y);
  // Icon resource iconId at the status icon size of the display scale, its
  // left edge at x and its centre on mid.
  void DrawStatusIcon(HDC dc, int iconId, int x, int mid);
  // The result of a finished page: the status icon at 25 dialog units
  // centred on mid, and two lines of Tahoma 18 at 85 dialog units, the
  // first ending and the second starting 4 dialog units from mid.
  void DrawResult(HDC dc, int iconId, int mid, const WideString& first, const WideString& second);
  // Starts the hover timer and adds the close button: the strip of the
  // display scale, 10 dialog units (plus 2 px) in from the right edge, 1 px
  // from the top, painted over the background image.
  bool AddCloseButton();
  // Kills the hover timer and destroys the close button.
  void StopButtons();

  BorderlessFrame& Frame() { return frame_; }
  ButtonGroup& Buttons() { return buttons_; }

  volatile bool closeRequested_ = false;

 private:
  ButtonGroup buttons_;
  _CmdClose close_;
  BorderlessFrame frame_;
  std::vector<DrawnText> texts_;  // under the paint lock
};
