#pragma once
// Drives windows from a test as a user would: finds this system's windows
// (in this process or in other processes of the same Wine prefix), reads
// their texts, clicks, types and reads list boxes. Mouse and keyboard input
// can be sent as messages or as real input (SendInput), which goes through
// the display driver like a person's.
//
// Waiting calls serve the calling thread's messages, so windows of the test
// thread stay alive while the test waits.

#include <functional>
#include <vector>

#include "util/wide_string.h"
#include "util/win/windows_api.h"

namespace driver {

// Serves the calling thread's messages for ms milliseconds.
void Pump(DWORD ms);
// Calls condition every 20 ms, pumping in between, until it is true or
// timeoutMs has passed. Returns the last result.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs);

// Top-level windows. Empty texts match anything; processId 0 any process.
HWND FindTopWindow(const WideString& className, const WideString& title, DWORD processId = 0);
// The visible top-level window that has a child control with this id
// (dialog templates are told apart by their control ids).
HWND FindDialogWithControl(int controlId, DWORD processId = 0);
HWND WaitForTopWindow(const WideString& className, const WideString& title, DWORD timeoutMs);
HWND WaitForDialogWithControl(int controlId, DWORD timeoutMs);
// Every visible top-level window of a process (0: this one).
std::vector<HWND> TopWindowsOf(DWORD processId);
// A child control by class and text (empty matches anything), depth-first.
HWND FindChild(HWND parent, const WideString& className, const WideString& text);

WideString ClassOf(HWND window);
WideString TextOf(HWND window);  // works across processes (WM_GETTEXT)
WideString ControlText(HWND dialog, int id);
RECT ScreenRect(HWND window);
POINT CentreOf(HWND window);  // screen coordinates

// Clicks by message: BM_CLICK for push buttons; for other controls a left
// press and release posted to the control's parent at the control's centre,
// with the cursor placed there first (owner-drawn buttons read it).
void ClickByMessage(HWND control);

// Real mouse input at screen coordinates.
void MoveMouse(int x, int y);
void MouseDown(bool right = false);
void MouseUp(bool right = false);
void ClickAt(int x, int y, bool right = false);
void ClickWithMouse(HWND window);  // at its centre

// Real keyboard input to the focus window.
void PressKey(WORD virtualKey);
void KeyDown(WORD virtualKey);
void KeyUp(WORD virtualKey);

struct ListRow {
  WideString text;
  bool ticked = false;    // item data bit 0
  bool disabled = false;  // item data bit 1
};
// The rows of a list box, with the tick and disabled bits that value lists
// keep in each item's data.
std::vector<ListRow> ListRows(HWND list);
int ListSelection(HWND list);

// A pixel of the screen, and one of a window's client area as drawn.
COLORREF ScreenPixel(int x, int y);
COLORREF WindowPixel(HWND window, int x, int y);

}  // namespace driver
