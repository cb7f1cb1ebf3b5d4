// Self-registration of placed DLL and OCX files, and its reverse for the
// uninstaller.

#include "engine/win/file_placement.h"
#include "engine/win/folder_macros.h"
#include "engine/win/native_system_folder.h"
#include "engine/win/program_runs.h"
#include "rollback/win/run_journal.h"
#include "util/path_text.h"
#include "util/win/install_log.h"
#include "util/win/scoped_handle.h"

namespace {

using ServerEntry = HRESULT(STDAPICALLTYPE*)();

// Calls the module's entry when it loads in this process (the result is
// ignored, as is a missing entry); otherwise hands the file to the regsvr32
// of the product's bitness with the given switches and waits for it. A
// 64-bit product's file in the real system folder is not loaded here: this
// 32-bit process would find a namesake in its own system folder instead.
void RunServerEntry(const WideString& path, const char* entry, const WChar* regsvr32Switches) {
  if (!WantsNativeSystemFolder(path)) {
    // Its own dependencies from its own folder and System32, never from the
    // installer's folder or along PATH.
    ScopedModule module(
        LoadLibraryExW(path.W(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
      // A system without those flags: the file's folder first all the same.
      module.Reset(LoadLibraryExW(path.W(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    }
    if (module) {
      if (auto call = reinterpret_cast<ServerEntry>(reinterpret_cast<void*>(GetProcAddress(module.Get(), entry)))) {
        call();
      }
      return;
    }
  }
  // Only the program's own path is expanded: the file's path is final and
  // may be a UNC path whose leading pair must survive.
  StartProcess(WideString::Format(u"\"%s\" %s \"%s\"", RegistrationProgram(), regsvr32Switches, path), true);
}

}  // namespace

bool IsSelfRegisteringFile(const WideString& path) {
  const WideString extension = Extension(path);
  return extension.Equals(WideString(u".dll"), true) || extension.Equals(WideString(u".ocx"), true);
}

void RegisterDll(const WideString& path) {
  RunServerEntry(path, "DllRegisterServer", u"/s");
  LogEvent(log_kind::kDllRegistered, path);
}

void UnregisterDllServer(const WideString& path) {
  RunServerEntry(path, "DllUnregisterServer", u"/u /s");
  LogEvent(log_kind::kDllUnregistered, path);
}

void RegisterDlls() {
  StringList& list = DllRegistrationList();
  for (int i = 0; i < list.Count(); ++i) {
    // Not registered when the rollback could not take it back.
    if (!JournalDllRegistration(list.Item(i))) continue;
    RegisterDll(list.Item(i));
  }
  list.Clear();
}
