#include "window_driver.h"

#include <vector>

namespace driver {

WideString ClassOf(HWND window);

void Pump(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      // Keyboard navigation of modeless dialogs, as their owners' loops do.
      HWND top = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
      if (top && ClassOf(top) == WideString(u"#32770") && IsDialogMessageW(top, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (ms) Sleep(5);
  } while (GetTickCount() - start < ms);
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return condition();
    Pump(20);
  }
}

WideString ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return WideString(name);
}

WideString TextOf(HWND window) {
  if (!window) return WideString();
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return WideString();
  std::vector<wchar_t> text(length + 2);
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                      2000, &copied);
  return WideString(text.data());
}

WideString ControlText(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }

namespace {

struct Search {
  WideString className;
  WideString title;
  DWORD processId;
  int controlId;
  std::vector<HWND> found;
};

bool Matches(HWND window, const Search& search) {
  if (search.processId) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId) return false;
  }
  if (!search.className.IsEmpty() && !ClassOf(window).Equals(search.className, true)) return false;
  if (!search.title.IsEmpty()) {
    wchar_t title[512] = {};
    GetWindowTextW(window, title, 512);
    if (WideString(title) != search.title) return false;
  }
  if (search.controlId && !GetDlgItem(window, search.controlId)) return false;
  return true;
}

BOOL CALLBACK Collect(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  if (IsWindowVisible(window) && Matches(window, *search)) search->found.push_back(window);
  return TRUE;
}

}  // namespace

HWND FindTopWindow(const WideString& className, const WideString& title, DWORD processId) {
  Search search{className, title, processId, 0, {}};
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&search));
  return search.found.empty() ? nullptr : search.found.front();
}

HWND FindDialogWithControl(int controlId, DWORD processId) {
  Search search{WideString(), WideString(), processId, controlId, {}};
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&search));
  return search.found.empty() ? nullptr : search.found.front();
}

HWND WaitForTopWindow(const WideString& className, const WideString& title, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitFor([&] { return (found = FindTopWindow(className, title)) != nullptr; }, timeoutMs);
  return found;
}

HWND WaitForDialogWithControl(int controlId, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitFor([&] { return (found = FindDialogWithControl(controlId)) != nullptr; }, timeoutMs);
  return found;
}

std::vector<HWND> TopWindowsOf(DWORD processId) {
  Search search{WideString(), WideString(), processId ? processId : GetCurrentProcessId(), 0, {}};
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

namespace {

struct ChildSearch {
  WideString className;
  WideString text;
  HWND found = nullptr;
};

BOOL CALLBACK CollectChild(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<ChildSearch*>(context);
  if (!search->className.IsEmpty() && !ClassOf(window).Equals(search->className, true)) return TRUE;
  if (!search->text.IsEmpty() && TextOf(window) != search->text) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND FindChild(HWND parent, const WideString& className, const WideString& text) {
  ChildSearch search{className, text, nullptr};
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

RECT ScreenRect(HWND window) {
  RECT rect{0, 0, 0, 0};
  GetWindowRect(window, &rect);
  return rect;
}

POINT CentreOf(HWND window) {
  RECT rect = ScreenRect(window);
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

void ClickByMessage(HWND control) {
  if (ClassOf(control).Equals(WideString(u"Button"), true)) {
    SendMessageW(control, BM_CLICK, 0, 0);
    return;
  }
  HWND parent = GetParent(control);
  POINT centre = CentreOf(control);
  SetCursorPos(centre.x, centre.y);
  POINT client = centre;
  ScreenToClient(parent, &client);
  LPARAM at = MAKELPARAM(client.x, client.y);
  SendMessageW(parent, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(parent, WM_LBUTTONUP, 0, at);
}

namespace {

void SendMouse(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof input);
}

void SendKey(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

}  // namespace

void MoveMouse(int x, int y) {
  SetCursorPos(x, y);
  // A relative zero move makes the input system deliver WM_MOUSEMOVE.
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_MOVE;
  SendInput(1, &input, sizeof input);
  Pump(30);
}

void MouseDown(bool right) {
  SendMouse(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
  Pump(30);
}

void MouseUp(bool right) {
  SendMouse(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
  Pump(30);
}

void ClickAt(int x, int y, bool right) {
  MoveMouse(x, y);
  MouseDown(right);
  MouseUp(right);
}

void ClickWithMouse(HWND window) {
  POINT centre = CentreOf(window);
  ClickAt(centre.x, centre.y);
}

void KeyDown(WORD virtualKey) {
  SendKey(virtualKey, false);
  Pump(30);
}

void KeyUp(WORD virtualKey) {
  SendKey(virtualKey, true);
  Pump(30);
}

void PressKey(WORD virtualKey) {
  KeyDown(virtualKey);
  KeyUp(virtualKey);
}

std::vector<ListRow> ListRows(HWND list) {
  std::vector<ListRow> rows;
  LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count && count != LB_ERR; ++i) {
    ListRow row;
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length != LB_ERR) {
      std::vector<wchar_t> text(static_cast<size_t>(length) + 2);
      SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
      row.text = WideString(text.data());
    }
    LRESULT data = SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0);
    if (data != LB_ERR) {
      row.ticked = (data & 1) != 0;
      row.disabled = (data & 2) != 0;
    }
    rows.push_back(row);
  }
  return rows;
}

int ListSelection(HWND list) { return static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)); }

COLORREF ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  COLORREF colour = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return colour;
}

COLORREF WindowPixel(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return colour;
}

}  // namespace driver
