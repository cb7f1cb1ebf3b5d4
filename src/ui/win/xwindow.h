#pragma once
// XWindow binds one Win32 window (a custom top-level or child window, or a
// dialog made from a template) to one object and routes its messages to the
// virtual operations below. A static procedure binds the object on the first
// message it can (WM_CREATE or WM_INITDIALOG), finds the object for later
// messages in the process-wide window registry, and forwards to Route.
//
// Handlers that "clear" in this base set handled_ = false so that default
// processing follows; a derived handler that does the work leaves it true.
// The verdict belongs to the one message being routed: a handler that runs a
// nested loop (a message box, a modal dialog, the folder dialog) sees the
// messages routed inside that loop get verdicts of their own, and finds its
// own verdict unchanged when the loop returns.

#include <vector>

#include "util/wide_string.h"
#include "util/win/sync.h"
#include "util/win/windows_api.h"

class XWindow {
 public:
  XWindow();
  XWindow(const XWindow&) = delete;
  XWindow& operator=(const XWindow&) = delete;
  virtual ~XWindow();

  // Message operations, in the order of their slots.
  virtual void OnActivate(HWND other, bool minimised, int state);
  virtual void OnClose();
  virtual void OnContextMenu(HWND window, int x, int y);
  virtual void OnCommand(int id, HWND control, int code);
  virtual void OnCreate();
  virtual void OnDestroy();
  virtual void OnDeactivate(HWND other, bool minimised);
  virtual void OnDrawItem(HWND control, int id, DRAWITEMSTRUCT* item);
  virtual void OnEraseBackground(HDC dc);
  virtual void OnHide(int status);
  virtual void OnKeyDown(int key, LPARAM data);
  virtual void OnKeyUp(int key, LPARAM data);
  virtual void OnChar(int character);
  virtual void OnMouseDown(int x, int y, UINT message, WPARAM keys);
  virtual void OnMouseDoubleClick(int x, int y, UINT message, WPARAM keys);
  virtual void OnMouseUp(int x, int y, UINT message, WPARAM keys);
  virtual void OnMouseMove(int x, int y, WPARAM keys);
  virtual void OnMouseWheel(int x, int y, int delta, int keys);
  virtual void OnMove(int x, int y);
  virtual LRESULT OnNotify(NMHDR* header);
  virtual void OnPaint();
  virtual void OnShow(int status);
  virtual void OnSize(int width, int height, int type);
  virtual void OnSysCommand(int command);
  virtual void OnTimer(UINT id, int userValue);
  virtual HBRUSH OnCtlColorStatic(HDC dc, HWND control);
  virtual HBRUSH OnCtlColorDialog(HDC dc);
  // Sees every message first; setting handled ends routing with the result.
  virtual LRESULT PreDispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  // WM_COMMAND with code 0 and the standard ids 1 to 9, before OnCommand.
  virtual void OnOk();
  virtual void OnCancel();
  virtual void OnAbort();
  virtual void OnCloseCommand();
  virtual void OnHelp();
  virtual void OnIgnore();
  virtual void OnNo();
  virtual void OnRetry();
  virtual void OnYes();

  // Registers a class "XWnd<n>" of its own and creates the window, bound
  // during WM_CREATE. Returns false (and stays unbound) when the class
  // cannot be registered or the window not created.
  bool CreateCustomWindow(DWORD style, DWORD exStyle, HWND parent, int left, int top, int right, int bottom);
  // Dialog from the executable's template. Modal: returns the EndDialog
  // result (-1 when the dialog could not be created); QuitModalLoop
  // (modal_loop.h) ends it without ending the loops around it. Modeless: 1
  // when the dialog exists, else 0.
  INT_PTR RunDialog(int templateId, HWND parent, bool modal);
  // The same from a template in memory.
  INT_PTR RunDialogIndirect(const DLGTEMPLATE* dialogTemplate, HWND parent, bool modal);
  // Hides and destroys the window, forgets its timers, unregisters its class
  // and leaves the registry. Safe when unbound.
  void Unbind();
  void CloseDialog(INT_PTR result);
  void Invalidate();

  HWND Window() const { return window_; }
  bool IsDialog() const { return isDialog_; }
  const WideString& ClassName() const { return className_; }
  RECT WindowRect() const;  // screen coordinates; all zero when unbound or failing
  int Width() const;
  int Height() const;
  bool IsMinimised() const;
  // Keeps size, z-order and activation; -12345 keeps that coordinate.
  void MoveTo(int x, int y);
  HWND DialogItem(int id) const;
  // Dialog units of window (this window when null) to pixels.
  int DluToPixelsX(int value, HWND window = nullptr) const;
  int DluToPixelsY(int value, HWND window = nullptr) const;
  static int ScaleForDpi(int value);
  static uint32_t ScaleLowWordForDpi(uint32_t value);

  // Timers: ids are one more than the largest running id (1 for none).
  // Returns 0 when unbound or when SetTimer fails.
  UINT AddTimer(UINT elapseMs);
  void RemoveTimer(UINT id);
  // The user value handed to OnTimer for that timer.
  void SetTimerValue(UINT id, int value);

  // The bound object of a window, or null.
  static XWindow* Lookup(HWND window);
  static int RegistryCount();

  // Called (when set) for every message that the procedures leave to
  // default processing; for tests and diagnostics.
  using DefaultObserver = void (*)(HWND window, UINT message);
  static void SetDefaultObserver(DefaultObserver observer);

  // Owned handles, destroyed with the object.
  void SetCursorHandle(HCURSOR cursor) { cursor_ = cursor; }
  void SetIcons(HICON large, HICON small);

 protected:
  // The routing verdict of the message whose handler runs now. Assigning
  // writes that message's verdict ("handled_ = false" lets default
  // processing follow); reading gives it. Outside routing, writes are
  // ignored and reads give false.
  class Verdict {
   public:
    Verdict() = default;
    Verdict(const Verdict&) = delete;
    Verdict& operator=(const Verdict&) = delete;
    Verdict& operator=(bool handled) {
      if (current_) *current_ = handled;
      return *this;
    }
    operator bool() const { return current_ && *current_; }

   private:
    friend class XWindow;
    bool* current_ = nullptr;
  };
  Verdict handled_;
  void SetHandled(bool handled) { handled_ = handled; }

  // Lets go of a window of another thread that does not answer, without
  // touching it: leaves the registry and forgets the window, its timers and
  // its class (the window ends with its thread).
  void ForgetWindow();

 private:
  struct TimerRecord {
    UINT id;
    int value;
  };
  class VerdictScope;
  void Bind(HWND window, bool isDialog);
  LRESULT Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& passOn, bool& direct);
  static LRESULT CALLBACK CustomProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  bool isDialog_ = false;
  bool destroyed_ = false;      // WM_NCDESTROY seen; the handle may be reused
  HCURSOR cursor_ = nullptr;
  HICON largeIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  WideString className_;
  std::vector<TimerRecord> timers_;
  MutexLock timerLock_;
};
