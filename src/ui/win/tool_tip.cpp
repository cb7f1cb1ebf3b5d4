#include "ui/win/tool_tip.h"

#include <algorithm>
#include <atomic>

#include "ui/win/dpi.h"
#include "util/win/worker_thread.h"

namespace {

constexpr COLORREF kTopColour = 0xFFFEFE;
constexpr COLORREF kBottomColour = 0xF0E5E4;
constexpr COLORREF kFrameColour = 0x767676;
// Sent to a pop-up by the thread that unregisters its tool tip; the tracking
// thread, which owns the window, destroys it.
constexpr UINT kHideNowMessage = WM_APP + 0x7A1;
constexpr UINT kHideWaitMs = 5000;

}  // namespace

// The process-wide list of registered tool tips, its lock and the thread
// that tracks them.
struct ToolTipTracker {
  MutexLock lock;
  std::vector<XToolTip*> tips;
  WorkerThread thread;
  std::atomic<DWORD> threadId{0};
  ToolTipTracker() { lock.Create(); }

  static void Run(NamedEvent& stop, void* user) {
    auto* tracker = static_cast<ToolTipTracker*>(user);
    tracker->threadId = GetCurrentThreadId();
    while (!stop.IsSignalled()) {
      POINT cursor{0, 0};
      GetCursorPos(&cursor);
      // Never wait here: the window threads take the lock to register and
      // unregister, and a busy tick is simply skipped.
      if (tracker->lock.TryLock()) {
        DWORD now = GetTickCount();
        for (XToolTip* tip : tracker->tips) tip->Track(cursor, now);
        tracker->lock.Unlock();
      }
      Sleep(50);
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
    // The thread is stopped by the Unregister of the last tool tip, which
    // holds the lock and has had that tip's window destroyed here first; a
    // window given up on (see Unregister) ends with this thread.
  }
};

namespace {

ToolTipTracker& Tracker() {
  static ToolTipTracker tracker;
  return tracker;
}

// Takes the lock while serving the calling thread's messages, so that a
// tracking thread that waits for this thread's windows can finish its tick.
void LockPumping(MutexLock& lock) {
  while (!lock.TryLock()) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(5);
  }
}

void WaitPumping(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(10);
  } while (GetTickCount() - start < ms);
}

}  // namespace

XToolTip::~XToolTip() { Unregister(); }

int XToolTip::RegisteredCount() {
  ToolTipTracker& tracker = Tracker();
  MutexGuard guard(tracker.lock);
  return static_cast<int>(tracker.tips.size());
}

bool XToolTip::IsShown() const {
  HWND window = Window();
  return window && IsWindowVisible(window);
}

void XToolTip::Register(const ToolTipDescription& description) {
  Unregister();
  ToolTipTracker& tracker = Tracker();
  {
    LockPumping(tracker.lock);
    description_ = description;
    if (description_.showDelay == 0) description_.showDelay = 1000;
    if (description_.displayTime == 0) description_.displayTime = 10000;
    if (description_.fixedPoint && !description_.anchor) description_.showDelay = 1;
    for (ToolTipText& text : description_.texts) {
      if (text.height == 0) text.height = 14;
      if (text.colour == -1) text.colour = 0xFF0000;
    }
    hoverClock_ = 0;
    shownThisHover_ = false;
    hideRequest_ = false;
    lastAlpha_ = -1;
    Compose();
    tracker.tips.push_back(this);
    registered_ = true;
    if (tracker.tips.size() == 1) tracker.thread.Start(&ToolTipTracker::Run, &tracker, 0);
    tracker.lock.Unlock();
  }
  if (description_.fixedPoint && !description_.anchor) {
    for (int waited = 0; waited < 10000 && !IsShown(); waited += 50) WaitPumping(50);
  }
}

// Every step runs under the tool-tip lock, so the tracking thread, which
// only tracks while it holds the lock, cannot show the tip in between. It
// still serves its windows' messages between ticks without the lock, which
// is where it destroys the pop-up on request: a window can only be destroyed
// by the thread that created it.
void XToolTip::Unregister() {
  if (!registered_) return;
  ToolTipTracker& tracker = Tracker();
  LockPumping(tracker.lock);
  HWND popup = Window();
  if (popup) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(popup, kHideNowMessage, 0, 0, SMTO_NORMAL, kHideWaitMs, &answer);
    if (IsWindow(popup)) {
      // The tracking thread does not answer: hide the window without waiting
      // for it and let go of it; it goes when that thread ends.
      ShowWindowAsync(popup, SW_HIDE);
      ForgetWindow();
    }
  }
  auto& tips = tracker.tips;
  tips.erase(std::remove(tips.begin(), tips.end(), this), tips.end());
  registered_ = false;
  description_.texts.clear();
  description_.icons.clear();
  shapes_.Clear();
  iconRects_.clear();
  // Stopped under the lock, so that a Register waiting for it starts a
  // thread of its own afterwards rather than seeing this one end. A tool tip
  // unregistered by its own icon's callback runs on the tracking thread,
  // which cannot wait for itself; it idles until the next Register.
  if (tips.empty() && GetCurrentThreadId() != tracker.threadId) tracker.thread.Stop();
  tracker.lock.Unlock();
}

LRESULT XToolTip::PreDispatch(HWND, UINT message, WPARAM, LPARAM, bool& handled) {
  if (message != kHideNowMessage) return 0;
  // On the tracking thread, while the unregistering thread waits for it.
  Hide();
  handled = true;
  return 1;
}

// Builds the content: gradient background, frame, icon and texts.
void XToolTip::Compose() {
  shapes_.Clear();
  iconRects_.clear();
  int x = 5;
  int y = description_.kind == 1 ? 4 : 3;
  if (description_.icon) {
    shapes_.AddIcon(4, y, description_.icon, 2);
    x = IconWidth(description_.icon) + 8;
  }
  for (const ToolTipIcon& icon : description_.icons) {
    if (!icon.normal) continue;
    int w = IconWidth(icon.normal), h = IconHeight(icon.normal);
    iconRects_.push_back(RECT{x, y, x + w, y + h});
    x += w + 4;
  }
  int textY = y;
  for (const ToolTipText& text : description_.texts) {
    int height = ScaleForDpi(text.height);
    shapes_.AddText(x, textY, text.text, text.face, height, static_cast<COLORREF>(text.colour), text.weight >= 700,
                    false, false, 0, 2);
    textY += height + 2;
  }
  SIZE content = shapes_.Extent();
  // The window is the content's extent plus fixed margins: 2 x 4 px, or
  // 8 x 10 px for the framed kind, whose dialog frame takes part of them.
  int right = description_.kind == 1 ? 8 : 2;
  int bottom = description_.kind == 1 ? 10 : 4;
  shapes_.AddGradientBox(0, 0, 0x20000, 0x20000, kTopColour, kTopColour, kBottomColour, kBottomColour, false, 1);
  shapes_.AddFrameBox(0, 0, 0x20000, 0x20000, kFrameColour, false, 3);
  // An invisible corner element fixes the extent to content plus margins.
  shapes_.AddLine(content.cx + right, content.cy + bottom, content.cx + right, content.cy + bottom,
                  kTopColour, 0, 1, 0x40000000);
}

RECT XToolTip::AnchorScreenRect() const {
  RECT rect{0, 0, 0, 0};
  if (description_.anchor) {
    GetWindowRect(description_.anchor, &rect);
  } else if (description_.rectWindow) {
    rect = description_.anchorRect;
    MapWindowPoints(description_.rectWindow, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  } else if (description_.fixedPoint) {
    rect = RECT{description_.point.x, description_.point.y, description_.point.x, description_.point.y};
  }
  return rect;
}

bool XToolTip::CursorInside(POINT cursor) const {
  if (description_.anchor && GetParent(description_.anchor)) return WindowFromPoint(cursor) == description_.anchor;
  if (description_.fixedPoint) return true;
  RECT rect = AnchorScreenRect();
  return PtInRect(&rect, cursor) != 0;
}

void XToolTip::Track(POINT cursor, DWORD now) {
  if (hideRequest_) {
    hideRequest_ = false;
    if (IsShown()) Hide();
  }
  bool inside = CursorInside(cursor);
  if (!inside) {
    hoverClock_ = 0;
    shownThisHover_ = false;
  }
  bool visible = IsShown();
  if (!visible) {
    if (inside && !shownThisHover_) {
      if (hoverClock_ == 0) {
        hoverClock_ = now ? now : 1;
      } else if (static_cast<int>(now - hoverClock_) > description_.showDelay) {
        hoverClock_ = 0;
        shownTime_ = now;
        Show(cursor);
      }
    }
    return;
  }
  if (!inside) {
    Hide();
    return;
  }
  int display = description_.displayTime;
  int elapsed = static_cast<int>(now - shownTime_);
  if (display != -1 && elapsed > display) {
    Hide();
    return;
  }
  if (display != 0 && display != -1 && !description_.noFade) {
    int fade = std::min(display / 3, 2500);
    int fadeStart = fade < display ? display - fade : 0;
    int alpha = 255;
    if (elapsed >= fadeStart && fade > 0) alpha = 255 - (elapsed - fadeStart) * 255 / fade;
    alpha = std::max(0, std::min(255, alpha));
    if (alpha != lastAlpha_) {
      SetLayeredWindowAttributes(Window(), 0, static_cast<BYTE>(alpha), LWA_ALPHA);
      lastAlpha_ = alpha;
    }
  }
}

void XToolTip::Show(POINT cursor) {
  SIZE size = shapes_.Extent();
  int width = size.cx;
  int height = size.cy;
  RECT anchor = AnchorScreenRect();
  RECT desktop{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &desktop, 0);

  int x = cursor.x;
  if (x + width > desktop.right) x = desktop.right - width;
  if (x < desktop.left) x = desktop.left;
  int y = anchor.top - height - 2;
  if (cursor.y > anchor.top + 48) y = cursor.y - height - 50;
  if (y < 0) {
    y = anchor.bottom + 1;
    if (cursor.y < y - 50) y = cursor.y + 50;
  }

  DWORD style = WS_POPUP | WS_DISABLED;
  if (description_.kind == 1) style |= WS_DLGFRAME;
  DWORD exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
  if (!description_.noFade) exStyle |= WS_EX_LAYERED;
  HWND owner = description_.anchor ? description_.anchor : description_.rectWindow;
  if (!CreateCustomWindow(style, exStyle, owner, x, y, x + width, y + height)) return;
  if (!description_.noFade) SetLayeredWindowAttributes(Window(), 0, 255, LWA_ALPHA);
  ShowWindow(Window(), SW_SHOWNA);
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  EnableWindow(Window(), TRUE);
  shownThisHover_ = true;
  lastAlpha_ = -1;
}

void XToolTip::Hide() {
  // The pop-up lives only while shown; this runs on the tracking thread,
  // which created it.
  if (Window()) Unbind();
  hoverIcon_ = pressedIcon_ = -1;
}

void XToolTip::OnEraseBackground(HDC dc) {
  RECT client;
  GetClientRect(Window(), &client);
  OffscreenBitmap image;
  if (!image.Create(Window(), client.right, client.bottom)) return;
  shapes_.Draw(image.DC(), 0, 0);
  for (size_t i = 0; i < iconRects_.size() && i < description_.icons.size(); ++i) {
    const ToolTipIcon& icon = description_.icons[i];
    HICON shown = icon.normal;
    if (static_cast<int>(i) == pressedIcon_ && icon.pressed) shown = icon.pressed;
    else if (static_cast<int>(i) == hoverIcon_ && icon.hover) shown = icon.hover;
    PaintIcon(shown, image.DC(), iconRects_[i].left, iconRects_[i].top);
  }
  image.Blit(dc, 0, 0);
}

int XToolTip::IconAt(int x, int y) const {
  POINT point{x, y};
  for (size_t i = 0; i < iconRects_.size(); ++i) {
    if (PtInRect(&iconRects_[i], point)) return static_cast<int>(i);
  }
  return -1;
}

void XToolTip::OnMouseMove(int x, int y, WPARAM) {
  int over = IconAt(x, y);
  if (over != hoverIcon_) {
    hoverIcon_ = over;
    Invalidate();
  }
}

void XToolTip::OnMouseDown(int x, int y, UINT, WPARAM) {
  pressedIcon_ = IconAt(x, y);
  Invalidate();
}

void XToolTip::OnMouseUp(int x, int y, UINT, WPARAM) {
  int over = IconAt(x, y);
  int pressed = pressedIcon_;
  pressedIcon_ = -1;
  Invalidate();
  if (over < 0 || over != pressed) return;
  const ToolTipIcon& icon = description_.icons[static_cast<size_t>(over)];
  if (icon.callback)
    icon.callback(icon.userValue);
  else
    hideRequest_ = true;
}
