#pragma once
// Dispatches every waiting message of the calling thread. A WM_QUIT sets
// quit; once quit is set nothing more is dispatched and the result is false.
// Returns true when the queue is empty.
bool PumpMessages(bool& quit);
