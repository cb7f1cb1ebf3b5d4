#include "worker_test_support.h"

#include "app/install_state.h"
#include "util/win/windows_api.h"
// windows_api.h first
#include <objbase.h>
#include <shlobj.h>

#include "engine/win/file_placement.h"
#include "engine/win/folder_macros.h"
#include "engine/win/install_worker.h"
#include "engine/win/run_rollback.h"
#include "engine/win/installed_files.h"
#include "engine/win/record_file_marks.h"
#include "engine/win/uninstall_record.h"
#include "engine/win/uninstaller_image.h"
#include "payload_builder.h"
#include "restart/win/relay_file.h"
#include "test_folder.h"
#include "uninstall/win/record_product.h"
#include "uninstall/win/uninstall_worker.h"
#include "util/path_text.h"
#include "util/win/file_system.h"
#include "util/win/process_paths.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"
#include "util/win/temp_names.h"

TestInstall::TestInstall(const WideString& projectName, const WideString& installTo, const Members& members) {
  ResetInstallState();
  DllRegistrationList().Clear();
  ForgetInstalledFiles();
  ForgetRecordMarks();
  InstallState& state = State();
  state.ProjectName = projectName;
  state.InstallerTitle = WideString::Format(u"%s Installer", projectName);
  state.InstallTo = installTo;
  ExpandFolderMacros(state.InstallTo);
  state.Is64BitWindows = true;
  // What an installer would have made from its own file and recipe.
  static const char kUninstaller[] = "MZ uninstaller of the test installs";
  SetPreparedUninstallerForTests(std::vector<uint8_t>(kUninstaller, kUninstaller + sizeof kUninstaller - 1));
  bytes_ = BuildTestPayload(members);
  bool failed = false;
  payload_.OpenFromMemory(bytes_.data(), bytes_.size(), &failed);
  PublishPayload(&payload_);
}

TestInstall::~TestInstall() { PublishPayload(nullptr); }

void TestInstall::Run() {
  RunToEnd(InstallWorker, nullptr);
  // As the wizard does once the pass has ended: a run that was not undone
  // is committed, so that the next install of the test starts afresh.
  CommitThisRun();
}

InstallOutcome LastOutcome() { return State().Outcome; }

void RunToEnd(WorkerProcedure procedure, void* userValue) {
  WorkerThread thread;
  thread.Start(procedure, userValue, 60000);
  while (!thread.IsFinished()) Sleep(20);
}

void RunUninstall(const WideString& uninstallString) {
  ResetInstallState();
  InstallState& state = State();
  state.InstallerTitle = u"UnInstaller";
  state.UninstallRecordPath = UninstallRecordArgument(uninstallString);
  state.ProjectName = ProductNameFromRecord(state.UninstallRecordPath);
  state.InstallTo = ReadInstallFolder(state.ProjectName);
  RunToEnd(UninstallWorker, nullptr);
}

RelayServer::RelayServer() {
  // Made and kept, empty, as the first process keeps it.
  MakeTempFileName(path_, "PLI");
  thread_.Start(Serve, this, 60000);
}

RelayServer::~RelayServer() {
  thread_.Stop();
  DeleteFileW(path_.W());
}

void RelayServer::Serve(NamedEvent& stop, void* self) {
  auto* server = static_cast<RelayServer*>(self);
  while (!stop.IsSignalled()) {
    if (FileSizeOf(server->path_) != 0) {
      server->served_ = server->served_ + 1;
      ProcessRelayCommands(server->path_);
    }
    Sleep(50);
  }
}

std::string ScriptOf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

WideString SiblingPath(const wchar_t* name) { return ParentFolder(ModulePath()) + WideString(name); }

std::string SiblingFileBytes(const wchar_t* name) {
  std::string bytes;
  ReadWholeFile(SiblingPath(name), bytes);
  return bytes;
}

namespace {

ScopedRegistryKey OpenExisting(HKEY root, const WideString& key) {
  ScopedRegistryKey handle;
  RegOpenKeyExW(root, key.W(), 0, KEY_READ | RegistryViewFlag(), handle.Receive());
  return handle;
}

bool QueryValue(HKEY root, const WideString& key, const WideString& name, DWORD expectedType,
                std::string& data) {
  ScopedRegistryKey handle = OpenExisting(root, key);
  if (!handle) return false;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(handle.Get(), name.W(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  data.assign(size, '\0');
  if (RegQueryValueExW(handle.Get(), name.W(), nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size) !=
      ERROR_SUCCESS)
    return false;
  data.resize(size);
  return type == expectedType;
}

}  // namespace

DWORD ReadDword(HKEY root, const WideString& key, const WideString& name, bool* found) {
  std::string data;
  *found = QueryValue(root, key, name, REG_DWORD, data) && data.size() == 4;
  DWORD value = 0;
  if (*found) memcpy(&value, data.data(), 4);
  return value;
}

std::string ReadBinary(HKEY root, const WideString& key, const WideString& name, bool* found) {
  std::string data;
  *found = QueryValue(root, key, name, REG_BINARY, data);
  return data;
}

bool ValueExists(HKEY root, const WideString& key, const WideString& name) {
  ScopedRegistryKey handle = OpenExisting(root, key);
  return handle && RegQueryValueExW(handle.Get(), name.W(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const WideString& key) { return OpenExisting(root, key).IsValid(); }

StringList ValueNames(HKEY root, const WideString& key) {
  StringList names;
  ScopedRegistryKey handle = OpenExisting(root, key);
  if (!handle) return names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumValueW(handle.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.Add(WideString(name));
  }
  return names;
}

WideString ShortcutWorkingFolder(const WideString& shortcutPath) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))))
    return WideString();
  WideString folder;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t buffer[MAX_PATH] = {};
    if (SUCCEEDED(file->Load(shortcutPath.W(), STGM_READ)) &&
        SUCCEEDED(link->GetWorkingDirectory(buffer, MAX_PATH)))
      folder = WideString(buffer);
    file->Release();
  }
  link->Release();
  return folder;
}

std::string FileText(const WideString& path) {
  std::string bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

bool Exists(const WideString& path) { return GetFileAttributesW(path.W()) != INVALID_FILE_ATTRIBUTES; }
