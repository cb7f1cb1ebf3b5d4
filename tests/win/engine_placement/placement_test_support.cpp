#include "placement_test_support.h"

#include "payload_builder.h"
#include "restart/win/relay_file.h"
#include "util/path_text.h"
#include "util/win/file_system.h"
#include "util/win/process_paths.h"
#include "util/win/scoped_handle.h"

WideString FixturePath(const WChar* name) { return ParentFolder(ModulePath()) + name; }

std::string FixtureBytes(const WChar* name) {
  std::string bytes;
  ReadWholeFile(FixturePath(name), bytes);
  return bytes;
}

PublishedTestPayload::PublishedTestPayload(PayloadMembers members) {
  members.emplace_back("setup.dat", "[Project Name]\r\nTest\r\n");
  bytes_ = BuildTestPayload(members);
  bool failed = true;
  ready_ = context_.OpenFromMemory(bytes_.data(), bytes_.size(), &failed) && !failed;
  PublishPayload(&context_);
}

PublishedTestPayload::~PublishedTestPayload() { PublishPayload(nullptr); }

WideString ReadWideFile(const WideString& path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return WideString();
  return WideString(reinterpret_cast<const WChar*>(bytes.data()), static_cast<int>(bytes.size() / 2));
}

MarkerRun ReadMarker(const WideString& firstArgument) {
  MarkerRun run;
  const WideString text = ReadWideFile(firstArgument + u".ran");
  if (text.IsEmpty()) return run;
  run.ran = true;
  const int lineEnd = text.Find(WideString(u"\r\n"));
  run.parent = static_cast<DWORD>(text.Left(lineEnd - 1).ParseInteger());
  run.commandLine = text.From(lineEnd + 2);
  return run;
}

long long ReadUserDword(const WChar* key, const WChar* name) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (RegGetValueW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t*>(key), reinterpret_cast<const wchar_t*>(name),
                   RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) {
    return -1;
  }
  return value;
}

void DeleteUserValue(const WChar* key, const WChar* name) {
  RegDeleteKeyValueW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t*>(key), reinterpret_cast<const wchar_t*>(name));
}

HANDLE StartHelper(const std::vector<WideString>& arguments) {
  WideString command = WideString(u"\"") + FixturePath(u"relay_helper.exe") + u"\"";
  for (const WideString& argument : arguments) command += WideString(u" \"") + argument + u"\"";
  std::wstring line(command.W());
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return nullptr;
  }
  CloseHandle(process.hThread);
  return process.hProcess;
}

bool RunHelperServingRelay(const std::vector<WideString>& arguments, const WideString& relayPath, DWORD timeoutMs,
                           DWORD* helperId) {
  // The first process makes the file before it starts its copy, and removes
  // it at the end.
  const bool made = !PathExists(relayPath) && WriteWholeFile(relayPath, "", 0);
  ScopedKernelHandle helper(StartHelper(arguments));
  bool ended = helper.IsValid();
  if (helperId != nullptr && helper) *helperId = GetProcessId(helper.Get());
  const DWORD start = GetTickCount();
  while (helper && WaitForSingleObject(helper.Get(), 100) == WAIT_TIMEOUT) {
    if (GetTickCount() - start > timeoutMs) {
      TerminateProcess(helper.Get(), 1);
      ended = false;
      break;
    }
    if (FileSizeOf(relayPath) != 0) ProcessRelayCommands(relayPath);
  }
  if (made) DeleteFileW(relayPath.W());
  return ended;
}

bool WaitForFile(const WideString& path, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!PathExists(path)) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

UnservedRelay::UnservedRelay(const WideString& path) : path_(path) {
  // As a first process does, the file is there and empty from the start.
  WriteWholeFile(path_, "", 0);
  thread_ = CreateThread(nullptr, 0, &UnservedRelay::Watch, this, 0, nullptr);
}

UnservedRelay::~UnservedRelay() {
  InterlockedExchange(&stop_, 1);
  if (thread_ != nullptr) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  DeleteFileW(path_.W());
}

DWORD WINAPI UnservedRelay::Watch(void* self) {
  auto* watch = static_cast<UnservedRelay*>(self);
  while (InterlockedCompareExchange(&watch->stop_, 0, 0) == 0) {
    if (FileSizeOf(watch->path_) != 0) {
      InterlockedExchange(&watch->written_, 1);
      // Fails while the writer still holds it; tried again shortly.
      WriteWholeFile(watch->path_, "", 0);
    }
    Sleep(50);
  }
  return 0;
}
