#include "util/win/message_door.h"

#include <atomic>

namespace {
std::atomic<MessageResponder> g_responder{nullptr};
std::atomic<void*> g_context{nullptr};
}  // namespace

void SetMessageResponder(MessageResponder responder, void* context) {
  g_context.store(context);
  g_responder.store(responder);
}

int ShowMessage(HWND owner, const WideString& text, const WideString& caption, UINT flags) {
  MessageResponder responder = g_responder.load();
  if (responder != nullptr) return responder(g_context.load(), owner, text, caption, flags);
  return MessageBoxW(owner, text.W(), caption.W(), flags);
}
