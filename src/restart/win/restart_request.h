#pragma once
// Asking Windows to restart.

// Asks Windows to restart at once, then ends the modal window open on this
// thread. With State().Silent set and State().AutoReboot clear
// ("--noautoreboot") it does nothing and returns false. Otherwise it enables
// the shutdown privilege, calls InitiateShutdownW (looked up at run time;
// InitiateSystemShutdownW before Vista) and, when Windows took the request,
// sets State().RestartRequested and returns true. When Windows refuses (no
// shutdown privilege, a policy, a shutdown blocked), its reason goes to the
// install log and the result is false: the restart is still pending.
//
// The quit that ends the window goes only to a modal dialog of the toolkit
// open on the calling thread (QuitModalLoop, ui/win/modal_loop.h), and ends
// that dialog only: called where no such window is open, as on the silent
// path, nothing is posted, so no later loop of the thread can be ended by a
// quit left behind.
//
// For tests, instead of Windows: the observer below when one is set, else,
// when the environment variable PLOVE_TEST_RESTART_LOG names a file, one
// line "restart requested\r\n" (UTF-8) appended to it. Result, flag and quit
// are as with Windows agreeing.
bool RequestRestart();

// Called in place of Windows by RequestRestart while set; null removes it.
using RestartRequestObserver = void (*)(void* context);
void SetRestartRequestObserverForTesting(RestartRequestObserver observer, void* context);
