#pragma once
// XSubClassCtrl binds an existing native control to an object by replacing
// its window procedure. All binding and every hooked message run under one
// process-wide recursive lock, the subclass lock.

#include "util/win/windows_api.h"

class XSubClassCtrl {
 public:
  XSubClassCtrl() = default;
  XSubClassCtrl(const XSubClassCtrl&) = delete;
  XSubClassCtrl& operator=(const XSubClassCtrl&) = delete;
  virtual ~XSubClassCtrl();

  // Sees each message of the control first; leaving handled false passes the
  // message on to the control's own procedure.
  virtual LRESULT ControlHook(HWND control, UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

  // Unbinds any previous control, then subclasses this one. False when the
  // control is null or cannot be subclassed (it keeps its own procedure).
  bool Bind(HWND control);
  // Restores the control's own procedure.
  void Unbind();

  HWND Control() const { return control_; }
  bool IsBound() const { return previous_ != nullptr; }
  // The control's own procedure, for hooks that want to call it first.
  LRESULT CallPrevious(HWND control, UINT message, WPARAM wParam, LPARAM lParam) const;

  // Holds the subclass lock for a scope.
  class LockScope {
   public:
    LockScope();
    ~LockScope();
    LockScope(const LockScope&) = delete;
    LockScope& operator=(const LockScope&) = delete;
  };

 private:
  static LRESULT CALLBACK ControlProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

  WNDPROC previous_ = nullptr;
  HWND control_ = nullptr;
};
