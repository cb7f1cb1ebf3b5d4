#pragma once
// The modal dialogs that the toolkit runs on each thread, and a quit that
// ends only the innermost of them.
//
// The dialog manager answers WM_QUIT by ending its loop and posting the quit
// again on its way out, so that every enclosing loop ends as well; and a quit
// posted while no loop runs waits in the queue and ends whichever loop the
// thread runs next, however much later. QuitModalLoop bounds both: it posts
// nothing when no modal dialog of the toolkit is open on the calling thread,
// and the quit that the dialog posts again as it returns is taken back out
// of the queue, so the loops around it and any later loop run on.

// Modal dialogs that XWindow::RunDialog runs on the calling thread now.
int ModalDialogDepth();

// PostQuitMessage(exitCode) aimed at the innermost modal dialog of the
// toolkit on the calling thread. False, posting nothing, when none is open.
bool QuitModalLoop(int exitCode = 0);

// Held around each modal dialog loop of the toolkit (XWindow::RunDialog).
class ModalDialogScope {
 public:
  ModalDialogScope();
  ModalDialogScope(const ModalDialogScope&) = delete;
  ModalDialogScope& operator=(const ModalDialogScope&) = delete;
  // Takes a quit aimed at this dialog back out of the queue.
  ~ModalDialogScope();
};
