#include "ui/win/xbutton.h"

#include <algorithm>

#include "ui/win/tool_tip.h"

namespace {

int g_groupCounter = 0;
// Set while any group filter runs: a filter re-entered through a message it
// sent itself handles only WM_DRAWITEM.
bool g_filterBusy = false;

}  // namespace

XButton::XButton() = default;

XButton::~XButton() { Destroy(); }

void XButton::OnClick(int) {}
void XButton::OnHeldTick(bool, bool) {}
void XButton::OnPress(int) {}
void XButton::OnReleaseOutside(int) {}

bool XButton::Create(const ButtonRecord& record, HBITMAP strip, HWND owner) {
  Destroy();
  owner_ = owner;
  flags_ = record.flags ? record.flags : kButtonDefaultFlags;
  strip_.Adopt(strip);
  int frames = 2 + ((flags_ & kButtonHoverFrame) ? 1 : 0) + ((flags_ & kButtonFocusFrame) ? 1 : 0) +
               ((flags_ & kButtonDisabledFrame) ? 1 : 0);
  frameWidth_ = strip_.Width() / frames;
  frameHeight_ = (flags_ & kButtonOverlay) ? strip_.Height() / 2 : strip_.Height();

  if (frameWidth_ > 0 && frameHeight_ > 0) {
    background_.Create(owner, frameWidth_, frameHeight_);
    composed_.Create(owner, frameWidth_, frameHeight_);
    if (record.background && record.background->IsValid()) {
      BitBlt(background_.DC(), 0, 0, frameWidth_, frameHeight_, record.background->DC(), record.x, record.y,
             SRCCOPY);
    } else if (background_.IsValid()) {
      SolidBrush brush;
      brush.UseFaceColour();
      RECT all{0, 0, frameWidth_, frameHeight_};
      FillRect(background_.DC(), &all, brush.Get());
    }
  }

  DWORD style = WS_CHILD | WS_VISIBLE | SS_OWNERDRAW;
  if (flags_ & kButtonFocusFrame) style |= WS_TABSTOP;
  HWND control = CreateWindowExW(0, L"STATIC", record.caption.W(), style, record.x, record.y, frameWidth_,
                                 frameHeight_, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!control) return false;
  Bind(control);

  if (!record.toolTipText.IsEmpty()) {
    ToolTipDescription description;
    description.anchor = control;
    description.kind = 0;
    ToolTipText text;
    text.text = record.toolTipText;
    description.texts.push_back(text);
    toolTip_ = std::make_unique<XToolTip>();
    toolTip_->Register(description);
  }
  return true;
}

void XButton::Disable() {
  HWND control = Control();
  if (!control) return;
  EnableWindow(control, FALSE);
  state_ = kButtonNormal;
  Paint(state_);
}

void XButton::Destroy() {
  if (toolTip_) {
    toolTip_->Unregister();
    toolTip_.reset();
  }
  HWND control = Control();
  Unbind();
  if (control && IsWindow(control)) DestroyWindow(control);
  strip_.Free();
  background_.Free();
  composed_.Free();
  state_ = kButtonNormal;
  pressedLeft_ = pressedRight_ = heldByKey_ = false;
}

// Frame order in the strip: normal, pressed, hover, focus, disabled; the
// optional frames exist only with their flags.
int XButton::FrameIndex(int state, bool allowDisabled) const {
  HWND control = Control();
  bool disabled = control && !IsWindowEnabled(control);
  if (allowDisabled && disabled && (flags_ & kButtonDisabledFrame)) {
    return 2 + ((flags_ & kButtonHoverFrame) ? 1 : 0) + ((flags_ & kButtonFocusFrame) ? 1 : 0);
  }
  if (state == kButtonPressed) return 1;
  if (state == kButtonHover && (flags_ & kButtonHoverFrame)) return 2;
  return 0;
}

void XButton::CopyFrame(int frame) {
  BitBlt(composed_.DC(), 0, 0, frameWidth_, frameHeight_, strip_.DC(), frame * frameWidth_, 0, SRCCOPY);
}

void XButton::OverlayFrame(int frame) {
  int x = frame * frameWidth_;
  BitBlt(composed_.DC(), 0, 0, frameWidth_, frameHeight_, strip_.DC(), x, frameHeight_, SRCAND);
  BitBlt(composed_.DC(), 0, 0, frameWidth_, frameHeight_, strip_.DC(), x, 0, SRCPAINT);
}

void XButton::Paint(int state, HDC dc) {
  HWND control = Control();
  if (!control || !composed_.IsValid() || !strip_.IsValid()) return;
  if (!(flags_ & kButtonOverlay)) {
    CopyFrame(FrameIndex(state, true));
  } else {
    background_.Blit(composed_.DC(), 0, 0);
    OverlayFrame(FrameIndex(state, false));
    bool disabled = !IsWindowEnabled(control);
    if (disabled && (flags_ & kButtonDisabledFrame)) OverlayFrame(FrameIndex(state, true));
    if ((flags_ & kButtonFocusFrame) && focusCue_ && GetFocus() == control) {
      OverlayFrame(2 + ((flags_ & kButtonHoverFrame) ? 1 : 0));
    }
  }
  if (dc) {
    composed_.Blit(dc, 0, 0);
  } else {
    ScreenDC own(control);
    composed_.Blit(own.Get(), 0, 0);
  }
}

LRESULT XButton::ControlHook(HWND control, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  switch (message) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      LRESULT result = CallPrevious(control, message, wParam, lParam);
      handled = true;
      Paint(state_);
      return result;
    }
    case WM_GETDLGCODE: {
      auto* pending = reinterpret_cast<MSG*>(lParam);
      if (pending && (pending->message == WM_KEYDOWN || pending->message == WM_KEYUP) &&
          pending->wParam == VK_RETURN) {
        handled = true;
        return DLGC_WANTALLKEYS;
      }
      return 0;
    }
    case WM_KEYDOWN:
      if ((wParam == VK_SPACE || wParam == VK_RETURN) && IsWindowEnabled(control)) {
        bool first = !heldByKey_;
        heldByKey_ = true;
        state_ = kButtonPressed;
        Paint(state_);
        if (first) OnPress(0);
      } else {
        heldByKey_ = false;
      }
      Paint(state_);
      return 0;
    case WM_KEYUP:
      if ((wParam == VK_SPACE || wParam == VK_RETURN) && heldByKey_) {
        heldByKey_ = false;
        state_ = kButtonNormal;
        Paint(state_);
        OnClick(0);
      } else if (wParam == VK_TAB) {
        focusCue_ = true;
      }
      if (IsWindow(control)) Paint(state_);
      return 0;
    default:
      return 0;
  }
}

ButtonGroup::ButtonGroup() { lock_.Create(); }

ButtonGroup::~ButtonGroup() { Stop(); }

void ButtonGroup::Start(HWND owner) {
  owner_ = owner;
  timerId_ = 7788 + g_groupCounter;
  ++g_groupCounter;
  if (!SetTimer(owner, timerId_, 50, nullptr)) timerId_ = 0;
}

bool ButtonGroup::Add(XButton& button, const ButtonRecord& record, int stripId, HWND owner) {
  return AddWithStrip(button, record, LoadScreenBitmap(stripId), owner);
}

bool ButtonGroup::AddWithStrip(XButton& button, const ButtonRecord& record, HBITMAP strip, HWND owner) {
  if (!owner_) owner_ = owner;
  bool made = button.Create(record, strip, owner);
  MutexGuard guard(lock_);
  buttons_.push_back(&button);
  return made;
}

void ButtonGroup::Stop() {
  if (timerId_ && owner_) KillTimer(owner_, timerId_);
  timerId_ = 0;
  MutexGuard guard(lock_);
  for (XButton* button : buttons_) button->Destroy();
  buttons_.clear();
}

XButton* ButtonGroup::ButtonUnderCursor() {
  if (!owner_) return nullptr;
  POINT cursor;
  GetCursorPos(&cursor);
  ScreenToClient(owner_, &cursor);
  HWND child = ChildWindowFromPointEx(owner_, cursor, CWP_SKIPINVISIBLE);
  if (!child || child == owner_) return nullptr;
  for (XButton* button : buttons_) {
    if (button->Control() == child) return button;
  }
  return nullptr;
}

void ButtonGroup::Refresh() {
  MutexGuard guard(lock_);
  XButton* hovered = ButtonUnderCursor();
  bool ownerEnabled = owner_ && IsWindowEnabled(owner_);
  for (XButton* button : buttons_) {
    HWND control = button->Control();
    if (!control) continue;
    bool over = button == hovered;
    bool pressed = button->pressedLeft_ || button->pressedRight_;
    int state;
    if (!IsWindowEnabled(control) || !ownerEnabled || (!over && !button->heldByKey_))
      state = kButtonNormal;
    else if ((pressed && over) || button->heldByKey_)
      state = kButtonPressed;
    else
      state = kButtonHover;
    if (state != button->state_) {
      button->state_ = state;
      button->Paint(state);
    }
  }
}

LRESULT ButtonGroup::Filter(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  handled = false;
  if (g_filterBusy && message != WM_DRAWITEM) return 0;
  struct Busy {
    bool previous = g_filterBusy;
    Busy() { g_filterBusy = true; }
    ~Busy() { g_filterBusy = previous; }
  } busy;
  (void)window;

  switch (message) {
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      MutexGuard guard(lock_);
      for (XButton* button : buttons_) {
        if (item && button->Control() == item->hwndItem) {
          button->Paint(button->state_, item->hDC);
          handled = true;
          return 1;
        }
      }
      return 0;
    }
    case WM_TIMER:
      if (timerId_ == 0 || wParam != timerId_) return 0;
      {
        std::vector<XButton*> held;
        {
          MutexGuard guard(lock_);
          for (XButton* button : buttons_) {
            if (button->state_ == kButtonPressed) held.push_back(button);
          }
        }
        for (XButton* button : held) {
          bool free = !button->pressedLeft_ && !button->pressedRight_;
          button->OnHeldTick(free, free);
        }
        ++ticks_;
        if (ticks_ % 2 == 0) Refresh();
      }
      handled = true;
      return 0;
    case WM_MOUSEMOVE:
      Refresh();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: {
      bool right = message == WM_RBUTTONDOWN || message == WM_RBUTTONDBLCLK;
      XButton* button;
      {
        MutexGuard guard(lock_);
        button = ButtonUnderCursor();
      }
      if (!button) return 0;
      if (right)
        button->pressedRight_ = true;
      else
        button->pressedLeft_ = true;
      Refresh();
      if (button->flags_ & kButtonFocusFrame) SetFocus(button->Control());
      SetCapture(owner_);
      button->OnPress(right ? 1 : 0);
      Refresh();
      handled = true;
      return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
      bool right = message == WM_RBUTTONUP;
      ReleaseCapture();
      std::vector<XButton*> released;
      {
        MutexGuard guard(lock_);
        Refresh();
        for (XButton* button : buttons_) {
          bool& flag = right ? button->pressedRight_ : button->pressedLeft_;
          if (flag) {
            flag = false;
            released.push_back(button);
          }
        }
      }
      for (XButton* button : released) {
        if (button->state_ == kButtonPressed)
          button->OnClick(right ? 1 : 0);
        else
          button->OnReleaseOutside(right ? 1 : 0);
      }
      Refresh();
      return 0;
    }
    default:
      return 0;
  }
}
