#include "setup_harness.h"

#include <gtest/gtest.h>

#include "util/win/temp_names.h"

namespace {

std::vector<WideString> PayloadEntries() { return NamesIn(TempFolder(), WideString(u"PLI*"), false); }

}  // namespace

WideString HostPath(const char* unixPath) {
  WideString path = WideString::FromUtf8((std::string("Z:") + unixPath).c_str());
  path.Replace(u"/", u"\\", false);
  return path;
}

std::vector<uint8_t> ReadHostFile(const char* unixPath) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(HostPath(unixPath), bytes)) << unixPath;
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

WideString PackSetup(const TestFolder& folder, const WideString& fileName, const std::vector<PackSource>& members,
                     const char* stubPath) {
  std::vector<uint8_t> stub = ReadHostFile(stubPath);
  PackSettings settings;
  settings.threads = 2;
  std::vector<uint8_t> installer;
  std::string error;
  EXPECT_TRUE(PackInstaller(stub.data(), stub.size(), members, settings, &installer, &error)) << error;
  const WideString path = folder / fileName;
  EXPECT_TRUE(WriteWholeFile(path, installer.data(), installer.size()));
  return path;
}

SetupProcess::SetupProcess(const WideString& exe, const WideString& arguments, const std::vector<int>& answers)
    : SetupProcess(exe, arguments, SetupStart{answers, {}, WideString(), true, true}) {}

SetupProcess::SetupProcess(const WideString& exe, const WideString& arguments, const SetupStart& start)
    : entriesBefore_(PayloadEntries()) {
  std::string queued;
  for (size_t i = 0; i < start.answers.size(); ++i) {
    queued += std::to_string(start.answers[i]);
    if (i < start.answerDelays.size() && start.answerDelays[i] != 0) queued += " " + std::to_string(start.answerDelays[i]);
    queued += "\n";
  }
  WriteWholeFile(files_ / u"messages.txt.answers", queued.c_str());
  if (start.transcript) SetEnvironmentVariableW(L"PLOVE_TEST_MESSAGES", (files_ / u"messages.txt").W());
  if (start.restartLog) SetEnvironmentVariableW(L"PLOVE_TEST_RESTART_LOG", (files_ / u"restart.txt").W());
  WideString commandLine = u"\"" + exe + u"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION created{};
  if (CreateProcessW(nullptr, const_cast<wchar_t*>(commandLine.W()), nullptr, nullptr, FALSE, 0, nullptr,
                     start.currentFolder.IsEmpty() ? nullptr : start.currentFolder.W(), &startup, &created)) {
    CloseHandle(created.hThread);
    process_.Reset(created.hProcess);
    processId_ = created.dwProcessId;
  }
  SetEnvironmentVariableW(L"PLOVE_TEST_MESSAGES", nullptr);
  SetEnvironmentVariableW(L"PLOVE_TEST_RESTART_LOG", nullptr);
}

SetupProcess::~SetupProcess() {
  if (Running()) {
    ADD_FAILURE() << "the installer was still running at the end of the test";
    TerminateProcess(process_.Get(), 1);
    WaitForSingleObject(process_.Get(), 5000);
  }
}

DWORD SetupProcess::Wait(DWORD timeoutMs) {
  if (!process_) return STILL_ACTIVE;
  if (WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process_.Get(), &code);
  return code;
}

bool SetupProcess::Running() const {
  return process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

namespace {

WideString Unescaped(const std::string& text) {
  WideString result = WideString::FromUtf8(text.c_str());
  result.Replace(u"<CR>", u"\r", false);
  result.Replace(u"<LF>", u"\n", false);
  return result;
}

}  // namespace

std::vector<TranscriptMessage> SetupProcess::Messages() const {
  std::vector<TranscriptMessage> messages;
  std::string bytes;
  if (!ReadWholeFile(files_ / u"messages.txt", bytes)) return messages;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    start = end + 1;
    std::vector<std::string> fields;
    size_t from = 0;
    for (int i = 0; i < 5; ++i) {
      size_t tab = line.find('\t', from);
      if (tab == std::string::npos) break;
      fields.push_back(line.substr(from, tab - from));
      from = tab + 1;
    }
    if (fields.size() != 5) continue;
    TranscriptMessage message;
    message.processId = static_cast<DWORD>(std::stoul(fields[0]));
    message.flags = static_cast<UINT>(std::stoul(fields[1], nullptr, 16));
    message.answer = std::stoi(fields[2]);
    message.owned = fields[3] == "1";
    message.caption = Unescaped(fields[4]);
    message.text = Unescaped(line.substr(from));
    messages.push_back(message);
  }
  return messages;
}

int SetupProcess::RestartRequests() const {
  std::string bytes;
  if (!ReadWholeFile(files_ / u"restart.txt", bytes)) return 0;
  int count = 0;
  for (size_t at = bytes.find("restart requested"); at != std::string::npos;
       at = bytes.find("restart requested", at + 1)) {
    ++count;
  }
  return count;
}


std::vector<WideString> SetupProcess::Leftovers() const {
  std::vector<WideString> left;
  for (const WideString& name : PayloadEntries()) {
    bool old = false;
    for (const WideString& before : entriesBefore_) old = old || before == name;
    if (!old) left.push_back(name);
  }
  return left;
}

DWORD RunEntryCommand(const WideString& commandLine, DWORD timeoutMs) {
  const int close = commandLine.FindChar(u'"', 2);
  WideString arguments = commandLine.From(close + 1);
  arguments.TrimLeadingSpaces();
  SetupProcess run(commandLine.Mid(2, close - 1), arguments);
  return run.Wait(timeoutMs);
}

bool FileExists(const WideString& path) { return GetFileAttributesW(path.W()) != INVALID_FILE_ATTRIBUTES; }

std::string FileBytes(const WideString& path) {
  std::string bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}
