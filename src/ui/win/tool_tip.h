#pragma once
// Hover pop-ups. Every registered tool tip is watched by one tracking thread
// that polls the cursor every 50 ms, creates the pop-up windows on itself,
// shows them after the show delay, fades them out towards the end of the
// display time and hides them when the cursor leaves.

#include <vector>

#include "ui/win/shape_list.h"
#include "ui/win/xwindow.h"
#include "util/wide_string.h"

struct ToolTipText {
  WideString text;
  WideString face;      // empty: "Tahoma"
  int height = 0;       // 0: 14 (scaled)
  int colour = -1;      // -1: 0xFF0000
  int weight = 400;
};

using ToolTipCallback = void (*)(void* userValue);

struct ToolTipIcon {
  HICON normal = nullptr;   // borrowed; must outlive the registration
  HICON hover = nullptr;
  HICON pressed = nullptr;
  ToolTipCallback callback = nullptr;  // none: a click hides the tool tip
  void* userValue = nullptr;
};

struct ToolTipDescription {
  HWND anchor = nullptr;        // anchor control, or
  HWND rectWindow = nullptr;    // a window with an anchor rectangle in its client coordinates, or
  RECT anchorRect{0, 0, 0, 0};
  bool fixedPoint = false;      // a fixed screen point
  POINT point{0, 0};
  int kind = 0;                 // 0 plain, 1 framed
  int showDelay = 0;            // ms; 0 means 1000
  int displayTime = 0;          // ms; 0 means 10,000; -1 unlimited
  bool noFade = false;
  HICON icon = nullptr;         // drawn left of the text (borrowed)
  std::vector<ToolTipText> texts;
  std::vector<ToolTipIcon> icons;
};

class XToolTip : public XWindow {
 public:
  XToolTip() = default;
  ~XToolTip() override;

  // Copies the description and registers the tool tip, starting the tracking
  // thread for the first one. A fixed-point tool tip shows after 1 ms and
  // Register waits (at most 10 s) until it is visible.
  void Register(const ToolTipDescription& description);
  // Under the tool-tip lock: has the tracking thread destroy the pop-up
  // (waiting at most 5 s for it), leaves the list, clears the content and
  // stops the thread after the last tool tip. Nothing of this tool tip is
  // shown or painted once it returns.
  void Unregister();

  bool IsRegistered() const { return registered_; }
  // The pop-up window is visible now.
  bool IsShown() const;
  // Number of registered tool tips in the process.
  static int RegisteredCount();

  LRESULT PreDispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
  void OnEraseBackground(HDC dc) override;
  void OnMouseDown(int x, int y, UINT message, WPARAM keys) override;
  void OnMouseUp(int x, int y, UINT message, WPARAM keys) override;
  void OnMouseMove(int x, int y, WPARAM keys) override;

 private:
  friend struct ToolTipTracker;
  void Track(POINT cursor, DWORD now);
  bool CursorInside(POINT cursor) const;
  void Show(POINT cursor);
  void Hide();
  void Compose();
  RECT AnchorScreenRect() const;
  int IconAt(int x, int y) const;

  ToolTipDescription description_;
  ShapeList shapes_;
  bool registered_ = false;
  DWORD hoverClock_ = 0;
  DWORD shownTime_ = 0;
  bool shownThisHover_ = false;
  volatile bool hideRequest_ = false;
  int lastAlpha_ = -1;
  int hoverIcon_ = -1;
  int pressedIcon_ = -1;
  std::vector<RECT> iconRects_;
};
