#include "engine/win/folder_macros.h"

#include <vector>

#include "util/win/windows_api.h"
// windows_api.h first
#include <shlobj.h>

#include "app/install_state.h"
#include "engine/folder_macro_text.h"
#include "engine/win/run_scope.h"
#include "payload/win/payload_context.h"
#include "util/path_text.h"
#include "util/win/registry.h"

namespace {

const WChar kVersionKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// Calls a GetXxxDirectoryW-style function, growing the buffer when the
// folder is longer than MAX_PATH. Empty when the call fails.
template <typename Call>
WideString SizedFolder(Call call) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (int attempt = 0; attempt < 3; ++attempt) {
    const UINT length = call(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length == 0) return WideString();
    if (length < buffer.size()) return WideString(buffer.data(), static_cast<int>(length));
    buffer.resize(length + 1);
  }
  return WideString();
}

WideString SystemFolder() {
  return SizedFolder([](wchar_t* b, UINT n) { return GetSystemDirectoryW(b, n); });
}

// On 32-bit Windows there is no WOW64 folder; the system folder stands in.
WideString SystemWow64Folder() {
  WideString folder = SizedFolder([](wchar_t* b, UINT n) { return GetSystemWow64DirectoryW(b, n); });
  return folder.IsEmpty() ? SystemFolder() : folder;
}

WideString WindowsFolder() {
  return SizedFolder([](wchar_t* b, UINT n) { return GetWindowsDirectoryW(b, n); });
}

// A folder of the machine's Program Files tree: the 64-bit one's value
// for a 64-bit product, where Windows has one.
WideString MachineFolder(const WChar* value, const WChar* value64) {
  const WideString key(kVersionKey);
  if (State().Install64Bit) {
    WideString folder = ReadRegistryString(HKEY_LOCAL_MACHINE, key, WideString(value64));
    if (!folder.IsEmpty()) return folder;
  }
  return ReadRegistryString(HKEY_LOCAL_MACHINE, key, WideString(value));
}

// A per-user install's programs go to the user's own program folder, 32-bit
// and 64-bit alike (Windows keeps one).
WideString ProgramFilesFolder() {
  if (PerUserRun()) return UserProgramsFolder();
  return MachineFolder(u"ProgramFilesDir", u"ProgramW6432Dir");
}

// The 64-bit shared-files folder. Windows names it "CommonW6432Dir"; where
// that value is missing (Wine) it is the 64-bit program folder's "Common
// Files", never the 32-bit one. Empty on 32-bit Windows.
WideString CommonFiles64Folder() {
  const WideString key(kVersionKey);
  WideString folder = ReadRegistryString(HKEY_LOCAL_MACHINE, key, WideString(u"CommonW6432Dir"));
  if (!folder.IsEmpty()) return folder;
  folder = ReadRegistryString(HKEY_LOCAL_MACHINE, key, WideString(u"ProgramW6432Dir"));
  if (folder.IsEmpty()) return folder;
  AddBackslash(folder);
  return folder + u"Common Files";
}

WideString CommonFilesFolder() {
  if (PerUserRun()) {
    const WideString programs = UserProgramsFolder();
    return programs.IsEmpty() ? programs : programs + u"Common";
  }
  if (State().Install64Bit) {
    const WideString folder = CommonFiles64Folder();
    if (!folder.IsEmpty()) return folder;
  }
  return ReadRegistryString(HKEY_LOCAL_MACHINE, WideString(kVersionKey), WideString(u"CommonFilesDir"));
}

// Empty when the shell does not know the folder.
WideString ShellFolder(int csidl) {
  LPITEMIDLIST items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items)) || items == nullptr) return WideString();
  wchar_t path[MAX_PATH] = {};
  const BOOL found = SHGetPathFromIDListW(items, path);
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator != nullptr) {
    allocator->Free(items);
    allocator->Release();
  }
  return found ? WideString(path) : WideString();
}

// Whether the text holds the macro's name (ASCII case folded).
bool Mentions(const WideString& text, FolderMacro macro) {
  WideString upper = text;
  upper.ToUpperAscii();
  WideString name(FolderMacroName(macro));
  name.ToUpperAscii();
  return upper.Find(name) > 0;
}

void SubstituteShellFolder(WideString& text, FolderMacro macro, int csidl) {
  if (!Mentions(text, macro)) return;
  const WideString folder = ShellFolder(csidl);
  if (!folder.IsEmpty()) SubstituteFolderMacro(text, macro, folder);
}

}  // namespace

WideString MachineProgramFilesFolder() {
  const WideString key(kVersionKey);
  WideString folder = ReadRegistryString(HKEY_LOCAL_MACHINE, key, WideString(u"ProgramW6432Dir"));
  if (folder.IsEmpty()) folder = ReadRegistryString(HKEY_LOCAL_MACHINE, key, WideString(u"ProgramFilesDir"));
  if (!folder.IsEmpty()) AddBackslash(folder);
  return folder;
}

StringList MachineProgramFolders() {
  const WideString key(kVersionKey);
  StringList folders;
  for (const WideString& found :
       {ReadRegistryString(HKEY_LOCAL_MACHINE, key, WideString(u"ProgramFilesDir")),
        ReadRegistryString(HKEY_LOCAL_MACHINE, key, WideString(u"ProgramW6432Dir")),
        ReadRegistryString(HKEY_LOCAL_MACHINE, key, WideString(u"CommonFilesDir")), CommonFiles64Folder()}) {
    WideString folder = found;
    RemoveTrailingBackslashes(folder);
    if (!folder.IsEmpty() && !folders.Contains(folder, true)) folders.Add(folder);
  }
  return folders;
}

void ExpandFolderMacros(WideString& text) {
  // Each folder is looked up only for a text that names its macro: the
  // look-ups ask the registry and the shell, and every placed file has its
  // paths expanded.
  auto substitute = [&text](FolderMacro macro, WideString (*folder)()) {
    if (Mentions(text, macro)) SubstituteFolderMacro(text, macro, folder());
  };
  substitute(FolderMacro::System, SystemFolder);
  substitute(FolderMacro::SystemWow64, SystemWow64Folder);
  substitute(FolderMacro::Windows, WindowsFolder);
  if (Mentions(text, FolderMacro::Destination)) {
    SubstituteFolderMacro(text, FolderMacro::Destination, State().InstallTo);
  }
  substitute(FolderMacro::ProgramFiles, ProgramFilesFolder);
  substitute(FolderMacro::CommonFiles, CommonFilesFolder);
  SubstituteShellFolder(text, FolderMacro::Startup, CSIDL_STARTUP);
  // Every user's Start menu, or the user's own in a per-user install.
  SubstituteShellFolder(text, FolderMacro::StartPrograms, PerUserRun() ? CSIDL_PROGRAMS : CSIDL_COMMON_PROGRAMS);
  SubstituteShellFolder(text, FolderMacro::DeskTop, CSIDL_DESKTOPDIRECTORY);
  if (Mentions(text, FolderMacro::QuickLaunch)) {
    WideString quickLaunch = ShellFolder(CSIDL_APPDATA);
    if (!quickLaunch.IsEmpty()) {
      AddBackslash(quickLaunch);
      quickLaunch.Append(u"Microsoft\\Internet Explorer\\Quick Launch\\");
      SubstituteFolderMacro(text, FolderMacro::QuickLaunch, quickLaunch);
    }
  }
  SubstituteShellFolder(text, FolderMacro::MyDocuments, CSIDL_PERSONAL);
  if (const PayloadContext* payload = PublishedPayload()) {
    SubstituteFolderMacro(text, FolderMacro::Source, payload->PayloadFolder());
  }
  CollapseBackslashes(text);
}
