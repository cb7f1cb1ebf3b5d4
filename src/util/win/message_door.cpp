#include "util/win/message_door.h"

#include <atomic>
#include <string>

#include "util/win/install_log.h"
#include "util/win/scoped_handle.h"
#include "util/win/safe_files.h"

namespace {

std::atomic<MessageResponder> g_responder{nullptr};
std::atomic<void*> g_context{nullptr};
std::atomic<bool> g_unattended{false};

// The transcript file named by PLOVE_TEST_MESSAGES; empty when unset.
WideString TranscriptPath() {
  wchar_t buffer[MAX_PATH * 2] = {};
  DWORD length = GetEnvironmentVariableW(L"PLOVE_TEST_MESSAGES", buffer, MAX_PATH * 2);
  if (length == 0 || length >= MAX_PATH * 2) return WideString();
  return WideString(buffer);
}

std::string Escaped(const WideString& text) {
  std::string out;
  for (char c : text.ToUtf8()) {
    if (c == '\r')
      out += "<CR>";
    else if (c == '\n')
      out += "<LF>";
    else if (c == '\t')
      out += ' ';
    else
      out += c;
  }
  return out;
}

// Every process that uses the seam takes this mutex around both files.
class TranscriptLock {
 public:
  TranscriptLock() : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\PloveTestMessageDoor")) {
    if (mutex_) WaitForSingleObject(mutex_.Get(), 10000);
  }
  ~TranscriptLock() {
    if (mutex_) ReleaseMutex(mutex_.Get());
  }
  TranscriptLock(const TranscriptLock&) = delete;
  TranscriptLock& operator=(const TranscriptLock&) = delete;

 private:
  ScopedKernelHandle mutex_;
};

std::string ReadAll(const WideString& path) {
  ScopedFileHandle file = OpenByPath(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  std::string bytes;
  if (!file) return bytes;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  return bytes;
}

void WriteAll(const WideString& path, const std::string& bytes, bool append) {
  ScopedFileHandle file = OpenByPath(path, append ? FILE_APPEND_DATA : GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, append ? OPEN_ALWAYS : CREATE_ALWAYS);
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Takes the first queued answer and how long it keeps the box open; 0 when
// none is queued.
int TakeQueuedAnswer(const WideString& answersPath, DWORD* delayMs) {
  std::string bytes = ReadAll(answersPath);
  while (!bytes.empty()) {
    size_t end = bytes.find('\n');
    std::string line = bytes.substr(0, end);
    bytes = end == std::string::npos ? std::string() : bytes.substr(end + 1);
    int answer = atoi(line.c_str());
    if (answer > 0) {
      const size_t blank = line.find(' ');
      *delayMs = blank == std::string::npos ? 0 : static_cast<DWORD>(strtoul(line.c_str() + blank + 1, nullptr, 10));
      WriteAll(answersPath, bytes, false);
      return answer;
    }
  }
  return 0;
}

int AnswerThroughTranscript(const WideString& transcript, HWND owner, const WideString& text,
                            const WideString& caption, UINT flags) {
  DWORD delayMs = 0;
  int answer = 0;
  {
    TranscriptLock lock;
    answer = TakeQueuedAnswer(transcript + u".answers", &delayMs);
    if (answer == 0) answer = UnattendedAnswer(flags);
    char head[80];
    wsprintfA(head, "%lu\t0x%08X\t%d\t%d\t", GetCurrentProcessId(), flags, answer, owner != nullptr ? 1 : 0);
    WriteAll(transcript, head + Escaped(caption) + "\t" + Escaped(text) + "\n", true);
  }
  // A person who takes a while to answer: the box stays open meanwhile.
  if (delayMs != 0) Sleep(delayMs);
  return answer;
}

// "message: caption: text -> answer", marked "(unattended)" when nobody was
// asked.
void LogMessage(const WideString& caption, const WideString& text, int answer, bool unattended) {
  if (!InstallLogOpen()) return;
  LogEvent(log_kind::kMessage,
           caption + u": " + text + u" -> " + AnswerName(answer) + (unattended ? u" (unattended)" : u""));
}

}  // namespace

void SetMessageResponder(MessageResponder responder, void* context) {
  g_context.store(context);
  g_responder.store(responder);
}

void SetMessagesUnattended(bool unattended) { g_unattended.store(unattended); }

bool MessagesUnattended() { return g_unattended.load(); }

int UnattendedAnswer(UINT flags) {
  switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
    case MB_RETRYCANCEL:
    case MB_YESNOCANCEL:
    case MB_CANCELTRYCONTINUE:
      return IDCANCEL;
    case MB_YESNO:
      return IDNO;
    case MB_ABORTRETRYIGNORE:
      return IDABORT;
    default:
      return IDOK;
  }
}

int ShowMessage(HWND owner, const WideString& text, const WideString& caption, UINT flags) {
  int answer = 0;
  MessageResponder responder = g_responder.load();
  if (responder != nullptr) {
    answer = responder(g_context.load(), owner, text, caption, flags);
  } else {
    WideString transcript = TranscriptPath();
    if (!transcript.IsEmpty()) {
      answer = AnswerThroughTranscript(transcript, owner, text, caption, flags);
    } else if (g_unattended.load()) {
      answer = UnattendedAnswer(flags);
    } else {
      answer = MessageBoxW(owner, text.W(), caption.W(), flags);
    }
  }
  LogMessage(caption, text, answer, responder == nullptr && g_unattended.load());
  return answer;
}
