#include "ui/win/xwindow.h"

#include <algorithm>

#include "ui/win/dpi.h"
#include "ui/win/modal_loop.h"

namespace {

// Process-wide registry of bound windows, in binding order, and the class
// counter; both guarded by one recursive mutex.
struct WindowRegistry {
  MutexLock lock;
  std::vector<XWindow*> windows;
  int classCounter = 0;
  WindowRegistry() { lock.Create(); }
};

WindowRegistry& Registry() {
  static WindowRegistry registry;
  return registry;
}

XWindow::DefaultObserver g_defaultObserver = nullptr;

int SignedLow(LPARAM value) { return static_cast<short>(LOWORD(value)); }
int SignedHigh(LPARAM value) { return static_cast<short>(HIWORD(value)); }

}  // namespace

XWindow::XWindow() { timerLock_.Create(); }

XWindow::~XWindow() {
  Unbind();
  if (cursor_) DestroyCursor(cursor_);
  if (largeIcon_) DestroyIcon(largeIcon_);
  if (smallIcon_) DestroyIcon(smallIcon_);
}

void XWindow::SetDefaultObserver(DefaultObserver observer) { g_defaultObserver = observer; }

void XWindow::SetIcons(HICON large, HICON small) {
  if (largeIcon_ && largeIcon_ != large) DestroyIcon(largeIcon_);
  if (smallIcon_ && smallIcon_ != small) DestroyIcon(smallIcon_);
  largeIcon_ = large;
  smallIcon_ = small;
}

// Default operations: "clear" means default processing follows.
void XWindow::OnActivate(HWND, bool, int) { handled_ = false; }
void XWindow::OnClose() { handled_ = false; }
void XWindow::OnContextMenu(HWND, int, int) { handled_ = false; }
void XWindow::OnCommand(int, HWND, int) {}
void XWindow::OnCreate() { handled_ = false; }
void XWindow::OnDestroy() { handled_ = false; }
void XWindow::OnDeactivate(HWND, bool) { handled_ = false; }
void XWindow::OnDrawItem(HWND, int, DRAWITEMSTRUCT*) { handled_ = false; }
void XWindow::OnEraseBackground(HDC) { handled_ = false; }
void XWindow::OnHide(int) { handled_ = false; }
void XWindow::OnKeyDown(int, LPARAM) { handled_ = false; }
void XWindow::OnKeyUp(int, LPARAM) { handled_ = false; }
void XWindow::OnChar(int) { handled_ = false; }
void XWindow::OnMouseDown(int, int, UINT, WPARAM) { handled_ = false; }
void XWindow::OnMouseDoubleClick(int, int, UINT, WPARAM) { handled_ = false; }
void XWindow::OnMouseUp(int, int, UINT, WPARAM) { handled_ = false; }
void XWindow::OnMouseMove(int, int, WPARAM) { handled_ = false; }
void XWindow::OnMouseWheel(int, int, int, int) { handled_ = false; }
void XWindow::OnMove(int, int) { handled_ = false; }
LRESULT XWindow::OnNotify(NMHDR*) {
  handled_ = false;
  return 0;
}
void XWindow::OnPaint() { handled_ = false; }
void XWindow::OnShow(int) { handled_ = false; }
void XWindow::OnSize(int, int, int) { handled_ = false; }
void XWindow::OnSysCommand(int) {}
void XWindow::OnTimer(UINT, int) { handled_ = false; }
HBRUSH XWindow::OnCtlColorStatic(HDC, HWND) {
  handled_ = false;
  return nullptr;
}
HBRUSH XWindow::OnCtlColorDialog(HDC) {
  handled_ = false;
  return nullptr;
}
LRESULT XWindow::PreDispatch(HWND, UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}
void XWindow::OnOk() {}
void XWindow::OnCancel() {}
void XWindow::OnAbort() {}
void XWindow::OnCloseCommand() {}
void XWindow::OnHelp() {}
void XWindow::OnIgnore() {}
void XWindow::OnNo() {}
void XWindow::OnRetry() {}
void XWindow::OnYes() {}

void XWindow::Bind(HWND window, bool isDialog) {
  WindowRegistry& registry = Registry();
  MutexGuard guard(registry.lock);
  window_ = window;
  isDialog_ = isDialog;
  destroyed_ = false;
  registry.windows.push_back(this);
}

XWindow* XWindow::Lookup(HWND window) {
  if (!window) return nullptr;
  WindowRegistry& registry = Registry();
  MutexGuard guard(registry.lock);
  for (XWindow* candidate : registry.windows) {
    // A window that has been destroyed keeps its entry until the object
    // unbinds, but its handle may be reused by a new window.
    if (candidate->window_ == window && !candidate->destroyed_) return candidate;
  }
  return nullptr;
}

int XWindow::RegistryCount() {
  WindowRegistry& registry = Registry();
  MutexGuard guard(registry.lock);
  return static_cast<int>(registry.windows.size());
}

void XWindow::Unbind() {
  if (window_) {
    HWND window = window_;
    if (!destroyed_ && IsWindow(window)) ShowWindow(window, SW_HIDE);
    {
      MutexGuard guard(timerLock_);
      for (const TimerRecord& timer : timers_) KillTimer(window, timer.id);
      timers_.clear();
    }
    if (!destroyed_ && IsWindow(window)) DestroyWindow(window);
  }
  if (!className_.IsEmpty()) {
    UnregisterClassW(className_.W(), GetModuleHandleW(nullptr));
    className_.Clear();
  }
  WindowRegistry& registry = Registry();
  {
    MutexGuard guard(registry.lock);
    auto& list = registry.windows;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  window_ = nullptr;
  destroyed_ = false;
}

void XWindow::ForgetWindow() {
  {
    MutexGuard guard(timerLock_);
    timers_.clear();
  }
  className_.Clear();
  WindowRegistry& registry = Registry();
  {
    MutexGuard guard(registry.lock);
    auto& list = registry.windows;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  window_ = nullptr;
  destroyed_ = false;
}

bool XWindow::CreateCustomWindow(DWORD style, DWORD exStyle, HWND parent, int left, int top, int right,
                                 int bottom) {
  Unbind();
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WideString name;
  {
    WindowRegistry& registry = Registry();
    MutexGuard guard(registry.lock);
    name = WideString::Format(u"XWnd%d", registry.classCounter);
    ++registry.classCounter;
  }
  WNDCLASSEXW description{};
  description.cbSize = sizeof description;
  description.style = CS_OWNDC | CS_DBLCLKS;
  description.lpfnWndProc = CustomProcedure;
  description.hInstance = instance;
  description.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  description.lpszClassName = name.W();
  if (!RegisterClassExW(&description)) return false;
  className_ = name;
  HWND window = CreateWindowExW(exStyle, className_.W(), L"", style, left, top, right - left, bottom - top,
                                parent, nullptr, instance, this);
  if (!window) {
    Unbind();
    return false;
  }
  return true;
}

INT_PTR XWindow::RunDialog(int templateId, HWND parent, bool modal) {
  Unbind();
  HINSTANCE instance = GetModuleHandleW(nullptr);
  LPARAM self = reinterpret_cast<LPARAM>(this);
  if (modal) {
    ModalDialogScope scope;
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), parent, DialogProcedure, self);
  }
  return CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId), parent, DialogProcedure, self) ? 1 : 0;
}

INT_PTR XWindow::RunDialogIndirect(const DLGTEMPLATE* dialogTemplate, HWND parent, bool modal) {
  Unbind();
  HINSTANCE instance = GetModuleHandleW(nullptr);
  LPARAM self = reinterpret_cast<LPARAM>(this);
  if (modal) {
    ModalDialogScope scope;
    return DialogBoxIndirectParamW(instance, dialogTemplate, parent, DialogProcedure, self);
  }
  return CreateDialogIndirectParamW(instance, dialogTemplate, parent, DialogProcedure, self) ? 1 : 0;
}

void XWindow::CloseDialog(INT_PTR result) {
  if (window_) EndDialog(window_, result);
}

void XWindow::Invalidate() {
  if (window_) InvalidateRect(window_, nullptr, TRUE);
}

RECT XWindow::WindowRect() const {
  RECT rect{0, 0, 0, 0};
  if (!window_ || !GetWindowRect(window_, &rect)) return RECT{0, 0, 0, 0};
  return rect;
}

int XWindow::Width() const {
  RECT rect = WindowRect();
  return rect.right - rect.left;
}

int XWindow::Height() const {
  RECT rect = WindowRect();
  return rect.bottom - rect.top;
}

bool XWindow::IsMinimised() const { return window_ && IsIconic(window_); }

void XWindow::MoveTo(int x, int y) {
  if (!window_) return;
  if (x == kLastPosition || y == kLastPosition) {
    RECT rect = WindowRect();
    POINT corner{rect.left, rect.top};
    // A child's position is in its parent's client coordinates.
    HWND parent = GetParent(window_);
    if (parent && (GetWindowLongW(window_, GWL_STYLE) & WS_CHILD)) MapWindowPoints(nullptr, parent, &corner, 1);
    if (x == kLastPosition) x = corner.x;
    if (y == kLastPosition) y = corner.y;
  }
  SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE);
}

HWND XWindow::DialogItem(int id) const { return window_ ? GetDlgItem(window_, id) : nullptr; }

int XWindow::DluToPixelsX(int value, HWND window) const {
  RECT rect{value, 1, 1, 1};
  MapDialogRect(window ? window : window_, &rect);
  return rect.left;
}

int XWindow::DluToPixelsY(int value, HWND window) const {
  RECT rect{1, value, 1, 1};
  MapDialogRect(window ? window : window_, &rect);
  return rect.top;
}

int XWindow::ScaleForDpi(int value) { return ::ScaleForDpi(value); }
uint32_t XWindow::ScaleLowWordForDpi(uint32_t value) { return ::ScaleLowWordForDpi(value); }

UINT XWindow::AddTimer(UINT elapseMs) {
  if (!window_) return 0;
  MutexGuard guard(timerLock_);
  UINT id = 1;
  for (const TimerRecord& timer : timers_) id = std::max(id, timer.id + 1);
  UINT_PTR made = SetTimer(window_, id, elapseMs, nullptr);
  if (!made) return 0;
  timers_.push_back(TimerRecord{static_cast<UINT>(made), 0});
  return static_cast<UINT>(made);
}

void XWindow::RemoveTimer(UINT id) {
  MutexGuard guard(timerLock_);
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->id == id) {
      if (window_) KillTimer(window_, id);
      timers_.erase(it);
      return;
    }
  }
}

void XWindow::SetTimerValue(UINT id, int value) {
  MutexGuard guard(timerLock_);
  for (TimerRecord& timer : timers_) {
    if (timer.id == id) timer.value = value;
  }
}

// Points the window's verdict at one call's own flag for as long as that
// call routes, and back at the enclosing call's flag afterwards.
class XWindow::VerdictScope {
 public:
  VerdictScope(Verdict& verdict, bool* flag) : verdict_(verdict), outer_(verdict.current_) {
    verdict_.current_ = flag;
  }
  VerdictScope(const VerdictScope&) = delete;
  VerdictScope& operator=(const VerdictScope&) = delete;
  ~VerdictScope() { verdict_.current_ = outer_; }

 private:
  Verdict& verdict_;
  bool* outer_;
};

// Routes one message. passOn set means default processing follows; direct
// set means a dialog procedure returns the result as is (control-colour
// brushes). The verdict lives on this call's stack, so messages routed by
// a nested loop inside a handler cannot change it.
LRESULT XWindow::Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& passOn, bool& direct) {
  bool handled = false;
  passOn = true;
  direct = false;
  if (!window_) return 0;
  VerdictScope scope(handled_, &handled);

  bool hooked = false;
  LRESULT hookResult = PreDispatch(window, message, wParam, lParam, hooked);
  if (hooked) {
    passOn = false;
    return hookResult;
  }

  handled = true;
  LRESULT result = 0;
  switch (message) {
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE)
        OnDeactivate(reinterpret_cast<HWND>(lParam), HIWORD(wParam) != 0);
      else
        OnActivate(reinterpret_cast<HWND>(lParam), HIWORD(wParam) != 0, LOWORD(wParam));
      break;
    case WM_CLOSE:
      OnClose();
      break;
    case WM_CONTEXTMENU:
      OnContextMenu(reinterpret_cast<HWND>(wParam), LOWORD(lParam), HIWORD(lParam));
      break;
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      int code = HIWORD(wParam);
      if (code == 0) {
        switch (id) {
          case IDOK: OnOk(); break;
          case IDCANCEL: OnCancel(); break;
          case IDABORT: OnAbort(); break;
          case IDRETRY: OnRetry(); break;
          case IDIGNORE: OnIgnore(); break;
          case IDYES: OnYes(); break;
          case IDNO: OnNo(); break;
          case IDCLOSE: OnCloseCommand(); break;
          case IDHELP: OnHelp(); break;
          default: break;
        }
      }
      OnCommand(id, reinterpret_cast<HWND>(lParam), code);
      break;
    }
    case WM_CREATE:
    case WM_INITDIALOG:
      OnCreate();
      handled = true;
      break;
    case WM_DESTROY:
      OnDestroy();
      break;
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      OnDrawItem(item ? item->hwndItem : nullptr, item ? static_cast<int>(item->CtlID) : 0, item);
      break;
    }
    case WM_ERASEBKGND:
      OnEraseBackground(reinterpret_cast<HDC>(wParam));
      if (handled) result = 1;
      break;
    case WM_SHOWWINDOW:
      if (wParam)
        OnShow(static_cast<int>(lParam));
      else
        OnHide(static_cast<int>(lParam));
      break;
    case WM_KEYDOWN:
      OnKeyDown(static_cast<int>(wParam), lParam);
      break;
    case WM_KEYUP:
      OnKeyUp(static_cast<int>(wParam), lParam);
      break;
    case WM_CHAR:
      OnChar(static_cast<int>(wParam));
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      OnMouseDown(SignedLow(lParam), SignedHigh(lParam), message, wParam);
      break;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      OnMouseDoubleClick(SignedLow(lParam), SignedHigh(lParam), message, wParam);
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      OnMouseUp(SignedLow(lParam), SignedHigh(lParam), message, wParam);
      break;
    case WM_MOUSEMOVE:
      OnMouseMove(SignedLow(lParam), SignedHigh(lParam), wParam);
      break;
    case WM_MOUSEWHEEL:
      OnMouseWheel(SignedLow(lParam), SignedHigh(lParam), static_cast<short>(HIWORD(wParam)), LOWORD(wParam));
      break;
    case WM_MOVE:
      OnMove(SignedLow(lParam), SignedHigh(lParam));
      break;
    case WM_NOTIFY:
      result = OnNotify(reinterpret_cast<NMHDR*>(lParam));
      break;
    case WM_PAINT:
      OnPaint();
      handled = false;
      break;
    case WM_SIZE:
      OnSize(LOWORD(lParam), HIWORD(lParam), static_cast<int>(wParam));
      break;
    case WM_SYSCOMMAND:
      OnSysCommand(static_cast<int>(wParam & 0xFFF0));
      handled = false;
      break;
    case WM_TIMER: {
      // OnTimer runs under the timer lock; it may add or remove timers.
      MutexGuard guard(timerLock_);
      for (size_t i = 0; i < timers_.size(); ++i) {
        if (timers_[i].id == wParam) {
          TimerRecord timer = timers_[i];
          OnTimer(timer.id, timer.value);
          break;
        }
      }
      break;
    }
    case WM_CTLCOLORSTATIC: {
      HBRUSH brush = OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
      if (handled) {
        passOn = false;
        direct = true;
        return reinterpret_cast<LRESULT>(brush);
      }
      break;
    }
    case WM_CTLCOLORDLG: {
      HBRUSH brush = OnCtlColorDialog(reinterpret_cast<HDC>(wParam));
      if (handled) {
        passOn = false;
        direct = true;
        return reinterpret_cast<LRESULT>(brush);
      }
      break;
    }
    default:
      handled = false;
      break;
  }
  passOn = !handled;
  return result;
}

LRESULT CALLBACK XWindow::CustomProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    auto* creation = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* self = creation ? static_cast<XWindow*>(creation->lpCreateParams) : nullptr;
    if (self) self->Bind(window, false);
  }
  XWindow* self = Lookup(window);
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) self->destroyed_ = true;
  bool passOn = true;
  bool direct = false;
  LRESULT result = self->Route(window, message, wParam, lParam, passOn, direct);
  if (!passOn) return result;
  if (g_defaultObserver) g_defaultObserver(window, message);
  return DefWindowProcW(window, message, wParam, lParam);
}

INT_PTR CALLBACK XWindow::DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<XWindow*>(lParam);
    if (self) self->Bind(window, true);
  }
  XWindow* self = Lookup(window);
  if (!self) return 0;
  if (message == WM_NCDESTROY) self->destroyed_ = true;
  bool passOn = true;
  bool direct = false;
  LRESULT result = self->Route(window, message, wParam, lParam, passOn, direct);
  if (direct) return static_cast<INT_PTR>(result);
  bool handled = !passOn;
  if (!handled && g_defaultObserver) g_defaultObserver(window, message);
  SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return handled ? TRUE : FALSE;
}
