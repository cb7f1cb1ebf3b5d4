#include "engine/win/worker_registry.h"

#include <vector>

#include "app/install_state.h"
#include "engine/scope_rules.h"
#include "engine/win/folder_macros.h"
#include "engine/win/run_scope.h"
#include "payload/win/payload_context.h"
#include "restart/win/relay_file.h"
#include "util/string_list.h"
#include "util/win/disk_file.h"
#include "util/win/message_door.h"
#include "util/win/registry.h"
#include "util/win/temp_names.h"

namespace {

void Relay(const WChar* tag, const RegistryDirective& directive, const WideString& data) {
  StringList lines;
  lines.Add(WideString(tag));
  lines.Add(directive.valueName);
  lines.Add(directive.keyPath);
  lines.Add(data);
  SendRelayCommand(lines);
}

bool ReadWholeFileBytes(const WideString& path, std::vector<uint8_t>& bytes) {
  DiskFile file;
  if (!file.Open(path, GENERIC_READ, OPEN_EXISTING, false)) return false;
  uint64_t size = file.Size();
  if (size > 0x7FFFFFFF) return false;
  bytes.resize(static_cast<size_t>(size));
  return size == 0 || file.Read(bytes.data(), static_cast<DWORD>(size)) == size;
}

void WriteBinaryFromMember(HKEY root, const RegistryDirective& directive, HWND window) {
  InstallState& state = State();
  WideString temporary;
  bool extracted = false;
  PayloadContext* payload = PublishedPayload();
  if (payload != nullptr && MakeTempFileName(temporary, "Ins"))
    extracted = payload->Archive().ExtractTo(directive.data, temporary);
  if (!extracted) {
    ShowMessage(window, WideString::Format(u"Unable to extract '%s'", directive.data), state.InstallerTitle,
                MB_ICONERROR);
  } else {
    std::vector<uint8_t> bytes;
    if (root != nullptr && ReadWholeFileBytes(temporary, bytes))
      WriteRegistryValue(root, directive.keyPath, directive.valueName, REG_BINARY, bytes.data(),
                         static_cast<DWORD>(bytes.size()));
  }
  DeleteTempFile(temporary);
}

}  // namespace

HKEY RegistryRootFromName(const WideString& name) {
  if (name.Equals(u"HKCR")) return HKEY_CLASSES_ROOT;
  if (name.Equals(u"HKCU")) return HKEY_CURRENT_USER;
  if (name.Equals(u"HKLM")) return HKEY_LOCAL_MACHINE;
  if (name.Equals(u"HKCC")) return HKEY_CURRENT_CONFIG;
  if (name.Equals(u"HKU")) return HKEY_USERS;
  return nullptr;
}

HKEY RegistryRootOfLine(const WideString& name, WideString& keyPath) {
  if (name.Equals(kScopedRegistryRoot)) return ProductRegistryRoot();
  const HKEY root = RegistryRootFromName(name);
  if (!PerUserRun()) return root;
  if (root == HKEY_CLASSES_ROOT) {
    keyPath = u"Software\\Classes\\" + keyPath;
    return HKEY_CURRENT_USER;
  }
  return root == HKEY_CURRENT_USER ? root : nullptr;
}

void ApplyRegistryDirective(const RegistryDirective& given, HWND window) {
  RegistryDirective directive = given;
  const HKEY root = RegistryRootOfLine(directive.root, directive.keyPath);
  if (root == nullptr && PerUserRun() && RegistryRootFromName(directive.root) != nullptr) {
    LogSkippedForUser(u"[Registry] " + directive.root + u"\\" + directive.keyPath + u" " + directive.valueName,
                      WideString::FromUtf8(MachineOnlyRootReason(directive.root).c_str()));
    return;
  }
  ExpandFolderMacros(directive.keyPath);
  const bool relayed = root == HKEY_CURRENT_USER && !State().RelayPath.IsEmpty();

  if (directive.type.Equals(u"DWORD")) {
    if (relayed) {
      Relay(u"[setreg_hkcu_dword]", directive, directive.data);
    } else if (root != nullptr) {
      DWORD number = static_cast<DWORD>(directive.data.ParseInteger() & 0xFFFFFFFF);
      WriteRegistryValue(root, directive.keyPath, directive.valueName, REG_DWORD, &number, sizeof(number));
    }
  } else if (directive.type.Equals(u"BINARY")) {
    // Binary values are never relayed, whatever the root.
    WriteBinaryFromMember(root, directive, window);
  } else {
    WideString data = directive.data;
    ExpandFolderMacros(data);
    if (relayed) {
      Relay(u"[setreg_hkcu_string]", directive, data);
    } else if (root != nullptr) {
      WriteRegistryValue(root, directive.keyPath, directive.valueName, REG_SZ, data.W(),
                         static_cast<DWORD>((data.Length() + 1) * 2));
    }
  }
}
