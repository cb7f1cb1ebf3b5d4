#pragma once
// Every message box the system shows goes through ShowMessage. Tests install
// a responder that records text, caption and flags and returns a scripted
// answer, so no test waits for a person.

#include "util/wide_string.h"
#include "util/win/windows_api.h"

// Shows the message (MessageBoxW unless a responder is installed) and returns
// the button pressed (IDOK, IDCANCEL, IDRETRY, IDYES, IDNO, ...).
int ShowMessage(HWND owner, const WideString& text, const WideString& caption, UINT flags);

// A responder replaces MessageBoxW for the whole process; it may be called
// from any thread. Passing nullptr restores MessageBoxW.
using MessageResponder = int (*)(void* context, HWND owner, const WideString& text,
                                 const WideString& caption, UINT flags);
void SetMessageResponder(MessageResponder responder, void* context);
