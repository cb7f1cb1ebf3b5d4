#include "ui/win/subclass_ctrl.h"

#include "util/win/sync.h"

namespace {

MutexLock& SubclassLock() {
  static struct Holder {
    MutexLock lock;
    Holder() { lock.Create(); }
  } holder;
  return holder.lock;
}

}  // namespace

XSubClassCtrl::LockScope::LockScope() { SubclassLock().Lock(); }
XSubClassCtrl::LockScope::~LockScope() { SubclassLock().Unlock(); }

XSubClassCtrl::~XSubClassCtrl() { Unbind(); }

LRESULT XSubClassCtrl::ControlHook(HWND, UINT, WPARAM, LPARAM, bool&) { return 0; }

bool XSubClassCtrl::Bind(HWND control) {
  Unbind();
  if (!control) return false;
  LockScope lock;
  SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  LONG_PTR previous =
      SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&XSubClassCtrl::ControlProcedure));
  if (!previous) {
    SetWindowLongPtrW(control, GWLP_USERDATA, 0);
    return false;
  }
  previous_ = reinterpret_cast<WNDPROC>(previous);
  control_ = control;
  return true;
}

void XSubClassCtrl::Unbind() {
  if (!previous_) return;
  LockScope lock;
  if (IsWindow(control_)) {
    SetWindowLongPtrW(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    SetWindowLongPtrW(control_, GWLP_USERDATA, 0);
  }
  previous_ = nullptr;
  control_ = nullptr;
}

LRESULT XSubClassCtrl::CallPrevious(HWND control, UINT message, WPARAM wParam, LPARAM lParam) const {
  if (!previous_) return 0;
  return CallWindowProcW(previous_, control, message, wParam, lParam);
}

LRESULT CALLBACK XSubClassCtrl::ControlProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  LockScope lock;
  auto* self = reinterpret_cast<XSubClassCtrl*>(GetWindowLongPtrW(control, GWLP_USERDATA));
  if (!self || !self->previous_) return 0;
  // Kept before the hook: a hook may unbind the control.
  WNDPROC previous = self->previous_;
  bool handled = false;
  LRESULT result = self->ControlHook(control, message, wParam, lParam, handled);
  if (handled) return result;
  return CallWindowProcW(previous, control, message, wParam, lParam);
}
