#pragma once
// Every message box the system shows goes through ShowMessage. Tests install
// a responder that records text, caption and flags and returns a scripted
// answer, so no test waits for a person.
//
// Two more ways keep a run from waiting for a person:
// - Unattended mode (set by start-up for "--silent"): no box is shown; each
//   message is answered as UnattendedAnswer says.
// - The transcript seam, for tests that start the real installer as another
//   process: when the environment variable PLOVE_TEST_MESSAGES names a file,
//   no box is shown either. Each message is appended to that file as one
//   UTF-8 line "pid<TAB>flags<TAB>answer<TAB>owner<TAB>caption<TAB>text"
//   (flags in hexadecimal as 0x%08X, owner 1 when the box had an owner
//   window, else 0; carriage returns and line feeds of the texts written as
//   "<CR>" and "<LF>"). The answer is taken from the first line of the file
//   named by the same path plus ".answers" (a decimal button id, the line is
//   removed; after a blank, a number of milliseconds for which the answer
//   keeps the box open), or when that holds none, from UnattendedAnswer. Processes that
//   share the variable share both files.
//
// Whichever way it is answered, each message goes to the install log
// (util/win/install_log.h) with its answer, when a log is open.

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

// Unattended mode for the whole process.
void SetMessagesUnattended(bool unattended);
bool MessagesUnattended();

// The answer that ends a question without doing more: Cancel when the box
// has a Cancel button (so Retry/Cancel gives up instead of retrying for
// ever), No for Yes/No, Abort for Abort/Retry/Ignore, OK otherwise.
int UnattendedAnswer(UINT flags);
