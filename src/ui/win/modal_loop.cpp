#include "ui/win/modal_loop.h"

#include "util/win/windows_api.h"

namespace {

thread_local int t_depth = 0;
// The depth whose loop a quit was posted for; 0 when none is pending.
thread_local int t_quitFor = 0;

}  // namespace

int ModalDialogDepth() { return t_depth; }

bool QuitModalLoop(int exitCode) {
  if (t_depth == 0) return false;
  t_quitFor = t_depth;
  PostQuitMessage(exitCode);
  return true;
}

ModalDialogScope::ModalDialogScope() { ++t_depth; }

ModalDialogScope::~ModalDialogScope() {
  if (t_quitFor == t_depth) {
    MSG message;
    PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    t_quitFor = 0;
  }
  --t_depth;
}
