#pragma once
// A message-door responder for tests: records every message (text, caption,
// flags, owner) and answers from a queue of scripted replies. Install it for
// the lifetime of a test; it uninstalls itself on destruction. Thread-safe,
// since worker threads show messages too.

#include <deque>
#include <vector>

#include "util/wide_string.h"
#include "util/win/windows_api.h"

struct RecordedMessage {
  HWND owner;
  WideString text;
  WideString caption;
  UINT flags;
  int answer;
};

class ScriptedMessages {
 public:
  // defaultAnswer is given when the queue is empty (IDCANCEL suits Retry/Cancel).
  explicit ScriptedMessages(int defaultAnswer = IDCANCEL);
  ~ScriptedMessages();
  ScriptedMessages(const ScriptedMessages&) = delete;
  ScriptedMessages& operator=(const ScriptedMessages&) = delete;

  void Answer(int reply);  // queues one reply
  std::vector<RecordedMessage> Messages() const;
  int Count() const;
  RecordedMessage Last() const;
  void Clear();

 private:
  static int Respond(void* context, HWND owner, const WideString& text, const WideString& caption, UINT flags);
  mutable CRITICAL_SECTION lock_;
  std::deque<int> replies_;
  std::vector<RecordedMessage> messages_;
  int defaultAnswer_;
};
