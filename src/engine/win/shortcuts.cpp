#include "engine/win/shortcuts.h"

#include "util/win/windows_api.h"
// windows_api.h first
#include <objbase.h>
#include <shlobj.h>

#include "engine/run_rules.h"
#include "engine/win/folder_macros.h"
#include "rollback/win/run_journal.h"
#include "util/path_text.h"
#include "util/win/file_system.h"
#include "util/win/install_log.h"

namespace {

// Releases a COM interface pointer when it goes out of scope.
template <typename Interface>
class ComRef {
 public:
  ComRef() = default;
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  Interface* operator->() const { return pointer_; }
  Interface* Get() const { return pointer_; }
  void** Receive() { return reinterpret_cast<void**>(&pointer_); }

 private:
  Interface* pointer_ = nullptr;
};

WideString Expanded(const WideString& text) {
  WideString copy = text;
  ExpandFolderMacros(copy);
  return copy;
}

// Writes the shortcut file at path (expanded already) from its description.
HRESULT SaveShortcut(const WideString& path, const ShortcutSpec& spec) {
  CreateFolderTree(ParentFolder(path));

  ComRef<IShellLinkW> link;
  HRESULT result =
      CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.Receive());
  if (FAILED(result)) return result;

  result = link->SetPath(Expanded(spec.target).W());
  if (spec.flags & kShortcutArguments) {
    result = link->SetArguments(ExpandParameterMacros(spec.arguments, &ExpandFolderMacros).W());
  }
  if (spec.flags & kShortcutDescription) result = link->SetDescription(spec.description.W());
  if (spec.flags & kShortcutIcon) result = link->SetIconLocation(Expanded(spec.iconPath).W(), spec.iconIndex);
  if (spec.flags & kShortcutWorkingFolder) result = link->SetWorkingDirectory(Expanded(spec.workingFolder).W());
  if (spec.flags & kShortcutShowCommand) result = link->SetShowCmd(spec.showCommand);
  if (spec.flags & kShortcutHotKey) result = link->SetHotkey(spec.hotKey);

  ComRef<IPersistFile> file;
  result = link->QueryInterface(IID_IPersistFile, file.Receive());
  if (SUCCEEDED(result)) result = file->Save(path.W(), TRUE);
  return result;
}

}  // namespace

HRESULT CreateShortcut(const WideString& shortcutPath, const ShortcutSpec& spec) {
  const WideString path = Expanded(shortcutPath);
  JournalBeforeFile(path);
  const HRESULT result = SaveShortcut(path, spec);
  if (SUCCEEDED(result)) {
    LogEvent(log_kind::kShortcutCreated, path + u" -> " + Expanded(spec.target));
  } else {
    LogWindowsError(log_kind::kFailure, u"shortcut " + path, static_cast<DWORD>(result));
  }
  return result;
}

bool ResolveShortcut(const WideString& shortcutPath, WideString& target) {
  target.Clear();
  const WideString path = Expanded(shortcutPath);
  if (!PathExists(path)) return false;

  ComRef<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.Receive()))) {
    return false;
  }
  ComRef<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.Receive()))) return false;
  file->Load(path.W(), STGM_WRITE);
  wchar_t buffer[MAX_PATH] = {};
  WIN32_FIND_DATAW found = {};
  link->GetPath(buffer, MAX_PATH, &found, 0);
  target = WideString(buffer);
  return true;
}
