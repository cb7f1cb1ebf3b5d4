#pragma once
// Owner-drawn bitmap buttons. An XButton is a STATIC control it creates
// itself, painted from a strip of frames (normal, pressed, hover, focus,
// disabled as its flags say). The window's ButtonGroup drives the mouse side
// through the window's PreDispatch; the keyboard side runs in the control's
// hook.

#include <memory>
#include <vector>

#include "ui/win/offscreen_bitmap.h"
#include "ui/win/subclass_ctrl.h"
#include "util/wide_string.h"
#include "util/win/sync.h"

class XToolTip;

enum ButtonFlags : int {
  kButtonHoverFrame = 0x02,
  kButtonFocusFrame = 0x04,   // takes the keyboard focus (WS_TABSTOP)
  kButtonDisabledFrame = 0x08,
  kButtonOverlay = 0x80,      // image row above mask row, drawn over the background
  kButtonDefaultFlags = 0x87
};

enum ButtonState : int { kButtonNormal = 0, kButtonPressed = 1, kButtonHover = 2 };

struct ButtonRecord {
  int x = 0;
  int y = 0;
  WideString caption;       // window text of the control, not drawn
  WideString toolTipText;   // empty: no tool tip
  int flags = 0;            // 0 means kButtonDefaultFlags
  const OffscreenBitmap* background = nullptr;  // the owner's background image
};

class XButton : public XSubClassCtrl {
 public:
  XButton();
  ~XButton() override;

  // 0 for the left mouse button or the keyboard, 1 for the right button.
  virtual void OnClick(int button);
  // Every hover tick while pressed; both flags true when no mouse button holds it.
  virtual void OnHeldTick(bool keyHeld, bool notByMouse);
  virtual void OnPress(int button);
  virtual void OnReleaseOutside(int button);

  LRESULT ControlHook(HWND control, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  // Creates the control from the record, taking over the strip bitmap (which
  // may be null: the button then shows nothing). False when the control
  // cannot be created.
  bool Create(const ButtonRecord& record, HBITMAP strip, HWND owner);
  void Disable();
  // Removes the tool tip, unbinds and destroys the control, frees the images.
  void Destroy();
  // Paints the given state into dc (the control's own DC when null).
  void Paint(int state, HDC dc = nullptr);

  int State() const { return state_; }
  int Flags() const { return flags_; }
  int FrameWidth() const { return frameWidth_; }
  int FrameHeight() const { return frameHeight_; }
  bool FocusCue() const { return focusCue_; }
  XToolTip* ToolTip() const { return toolTip_.get(); }

 private:
  friend class ButtonGroup;
  int FrameIndex(int state, bool allowDisabled) const;
  void CopyFrame(int frame);
  void OverlayFrame(int frame);

  OffscreenBitmap strip_;
  OffscreenBitmap background_;
  OffscreenBitmap composed_;
  int flags_ = kButtonDefaultFlags;
  int frameWidth_ = 0;
  int frameHeight_ = 0;
  int state_ = kButtonNormal;
  bool pressedLeft_ = false;
  bool pressedRight_ = false;
  bool heldByKey_ = false;
  bool focusCue_ = false;
  HWND owner_ = nullptr;
  std::unique_ptr<XToolTip> toolTip_;
};

// Drives all bitmap buttons of one window: a 50 ms hover timer on the owner,
// mouse presses and releases seen by the owner, and WM_DRAWITEM.
class ButtonGroup {
 public:
  ButtonGroup();
  ~ButtonGroup();
  ButtonGroup(const ButtonGroup&) = delete;
  ButtonGroup& operator=(const ButtonGroup&) = delete;

  // Starts the hover timer 7788 + n on the owner (n counts groups).
  void Start(HWND owner);
  // Creates the button with the strip from bitmap resource stripId and adds
  // it. The window owns the button object.
  bool Add(XButton& button, const ButtonRecord& record, int stripId, HWND owner);
  // The same with a strip bitmap the group hands over to the button.
  bool AddWithStrip(XButton& button, const ButtonRecord& record, HBITMAP strip, HWND owner);
  // Kills the timer and destroys every button.
  void Stop();
  // Called from the owner's PreDispatch for every message.
  LRESULT Filter(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

  UINT TimerId() const { return timerId_; }
  int Ticks() const { return ticks_; }
  // Recomputes hover and pressed states from the cursor; repaints changes.
  void Refresh();

 private:
  XButton* ButtonUnderCursor();

  UINT timerId_ = 0;
  HWND owner_ = nullptr;
  std::vector<XButton*> buttons_;
  MutexLock lock_;
  int ticks_ = 0;
};
