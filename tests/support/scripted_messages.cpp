#include "scripted_messages.h"

#include "util/win/message_door.h"

ScriptedMessages::ScriptedMessages(int defaultAnswer) : defaultAnswer_(defaultAnswer) {
  InitializeCriticalSection(&lock_);
  SetMessageResponder(&ScriptedMessages::Respond, this);
}

ScriptedMessages::~ScriptedMessages() {
  SetMessageResponder(nullptr, nullptr);
  DeleteCriticalSection(&lock_);
}

void ScriptedMessages::Answer(int reply) {
  EnterCriticalSection(&lock_);
  replies_.push_back(reply);
  LeaveCriticalSection(&lock_);
}

std::vector<RecordedMessage> ScriptedMessages::Messages() const {
  EnterCriticalSection(&lock_);
  std::vector<RecordedMessage> copy = messages_;
  LeaveCriticalSection(&lock_);
  return copy;
}

int ScriptedMessages::Count() const { return static_cast<int>(Messages().size()); }

RecordedMessage ScriptedMessages::Last() const {
  auto all = Messages();
  return all.empty() ? RecordedMessage{nullptr, WideString(), WideString(), 0, 0} : all.back();
}

void ScriptedMessages::Clear() {
  EnterCriticalSection(&lock_);
  messages_.clear();
  replies_.clear();
  LeaveCriticalSection(&lock_);
}

int ScriptedMessages::Respond(void* context, HWND owner, const WideString& text, const WideString& caption,
                              UINT flags) {
  auto* self = static_cast<ScriptedMessages*>(context);
  EnterCriticalSection(&self->lock_);
  int answer = self->defaultAnswer_;
  if (!self->replies_.empty()) {
    answer = self->replies_.front();
    self->replies_.pop_front();
  }
  self->messages_.push_back({owner, text, caption, flags, answer});
  LeaveCriticalSection(&self->lock_);
  return answer;
}
