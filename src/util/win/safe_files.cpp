#include "util/win/safe_files.h"

#include <vector>

#include "util/file_trust.h"
#include "util/path_text.h"
#include "util/win/file_finder.h"
// windows_api.h first
#include <aclapi.h>
#include <sddl.h>

namespace {

WideString Long(const WideString& path) { return LongPathForm(path, 248); }

// Protected rules (nothing inherited from the parent), handed down to what
// is created inside.
const wchar_t* RulesOf(Protection protection) {
  switch (protection) {
    case Protection::AdministratorsOnly:
      return L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    case Protection::ProgramFiles:
      return L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"
             L"(A;OICI;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
             L"(A;OICI;0x1200a9;;;BU)";
    case Protection::Inherited:
      break;
  }
  return nullptr;
}

// The security descriptor of a protection; empty for Inherited.
class Rules {
 public:
  explicit Rules(Protection protection) {
    const wchar_t* text = RulesOf(protection);
    if (text == nullptr) return;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &descriptor_, nullptr)) {
      attributes_.nLength = sizeof(attributes_);
      attributes_.lpSecurityDescriptor = descriptor_;
      attributes_.bInheritHandle = FALSE;
    } else {
      failed_ = true;
    }
  }
  ~Rules() {
    if (descriptor_ != nullptr) LocalFree(descriptor_);
  }
  Rules(const Rules&) = delete;
  Rules& operator=(const Rules&) = delete;
  bool Failed() const { return failed_; }
  SECURITY_ATTRIBUTES* Attributes() { return descriptor_ != nullptr ? &attributes_ : nullptr; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
  bool failed_ = false;
};

DWORD ListedAttributes(const WideString& path, bool* found) {
  WideString name = path;
  RemoveTrailingBackslashes(name);
  WIN32_FIND_DATAW data;
  ScopedFindHandle find(name.IsEmpty() ? INVALID_HANDLE_VALUE : FindFirstFileW(Long(name).W(), &data));
  *found = find.IsValid();
  return *found ? data.dwFileAttributes : 0;
}

}  // namespace

bool ProcessIsAdministrator() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &administrators)) {
    return false;
  }
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  FreeSid(administrators);
  return member != FALSE;
}

namespace {
bool g_perUserRun = false;
}  // namespace

void SetPerUserRun(bool perUser) { g_perUserRun = perUser; }

Protection RunOwnProtection() {
  return !g_perUserRun && ProcessIsAdministrator() ? Protection::AdministratorsOnly : Protection::Inherited;
}

ScopedFileHandle OpenByPath(const WideString& path, DWORD access, DWORD share, DWORD disposition,
                            DWORD flagsAndAttributes) {
  return ScopedFileHandle(
      CreateFileW(LongPathForm(path, MAX_PATH).W(), access, share, nullptr, disposition, flagsAndAttributes, nullptr));
}

ScopedFileHandle OpenNoFollow(const WideString& path, DWORD access, DWORD share, bool refuseLinks) {
  ScopedFileHandle handle(CreateFileW(Long(path).W(), access, share, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle || !refuseLinks) return handle;
  DWORD attributes = 0;
  bool found = false;
  const DWORD listed = ListedAttributes(path, &found);
  if (!HandleAttributes(handle.Get(), &attributes) || IsLink(listed, attributes)) {
    handle.Reset();
    SetLastError(ERROR_CANT_ACCESS_FILE);
  }
  return handle;
}

ScopedFileHandle CreateNewFile(const WideString& path, DWORD access, DWORD share, DWORD attributes,
                               Protection protection) {
  Rules rules(protection);
  if (rules.Failed()) return ScopedFileHandle();
  return ScopedFileHandle(CreateFileW(LongPathForm(path, MAX_PATH).W(), access, share, rules.Attributes(), CREATE_NEW,
                                      attributes | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool HandleAttributes(HANDLE handle, DWORD* attributes) {
  FILE_BASIC_INFO info{};
  if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &info, sizeof(info))) return false;
  *attributes = info.FileAttributes;
  return true;
}

bool HandleIdentity(HANDLE handle, ItemIdentity* identity) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return false;
  identity->volumeSerial = info.dwVolumeSerialNumber;
  identity->fileId = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

bool PathIdentity(const WideString& path, ItemIdentity* identity) {
  ScopedFileHandle handle = OpenNoFollow(path, FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false);
  return handle && HandleIdentity(handle.Get(), identity);
}

bool PathIsLink(const WideString& path) {
  bool found = false;
  const DWORD listed = ListedAttributes(path, &found);
  if (!found) return false;
  if (IsLink(listed)) return true;
  ScopedFileHandle handle = OpenNoFollow(path, FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false);
  DWORD attributes = 0;
  return handle && HandleAttributes(handle.Get(), &attributes) && IsLink(attributes);
}

WideString FirstLinkOnPath(const WideString& path) {
  StringList levels;
  FolderTreeLevels(path, levels);
  for (int i = 0; i < levels.Count(); ++i) {
    if (PathIsLink(levels.Item(i))) return levels.Item(i);
  }
  return WideString();
}

bool NonAdministratorsCanWriteFolder(const WideString& folder) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(Long(folder).W(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                            nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  std::vector<AccessRuleFacts> rules;
  // No rules at all is a folder open to everyone.
  bool open = dacl == nullptr;
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) continue;
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    wchar_t* sid = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<PSID>(&allowed->SidStart), &sid)) continue;
    rules.push_back({true, allowed->Mask, WideString(sid)});
    LocalFree(sid);
  }
  LocalFree(descriptor);
  return open || NonAdministratorsCanWrite(rules.data(), static_cast<int>(rules.size()));
}

bool RenameThroughHandle(HANDLE handle, const WideString& to, bool replaceExisting) {
  const WideString target = LongPathForm(to, MAX_PATH);
  const size_t nameBytes = static_cast<size_t>(target.Length()) * sizeof(wchar_t);
  std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + nameBytes + sizeof(wchar_t), 0);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = replaceExisting ? TRUE : FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(nameBytes);
  memcpy(info->FileName, target.W(), nameBytes);
  return SetFileInformationByHandle(handle, FileRenameInfo, info, static_cast<DWORD>(buffer.size())) != FALSE;
}

bool DeleteThroughHandle(HANDLE handle) {
  FILE_DISPOSITION_INFO info{};
  info.DeleteFile = TRUE;
  return SetFileInformationByHandle(handle, FileDispositionInfo, &info, sizeof(info)) != FALSE;
}

bool SetAttributesThroughHandle(HANDLE handle, DWORD attributes) {
  FILE_BASIC_INFO info{};
  if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &info, sizeof(info))) return false;
  // Times left at 0 are not changed.
  info.CreationTime.QuadPart = info.LastAccessTime.QuadPart = info.LastWriteTime.QuadPart =
      info.ChangeTime.QuadPart = 0;
  info.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
  return SetFileInformationByHandle(handle, FileBasicInfo, &info, sizeof(info)) != FALSE;
}

bool ProtectThroughHandle(HANDLE handle, Protection protection) {
  if (protection == Protection::Inherited) return true;
  Rules rules(protection);
  if (rules.Attributes() == nullptr) return false;
  // The whole descriptor, its "protected" mark included, on the item itself
  // (it has no children to hand the rules down to).
  return SetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION,
                                 rules.Attributes()->lpSecurityDescriptor) != FALSE;
}

bool CreateNewFolder(const WideString& path, Protection protection) {
  Rules rules(protection);
  if (rules.Failed()) return false;
  return CreateDirectoryW(Long(path).W(), rules.Attributes()) != FALSE;
}

bool RemoveEmptyFolder(const WideString& path) {
  WideString folder = path;
  RemoveTrailingBackslashes(folder);
  return RemoveDirectoryW(Long(folder).W()) != FALSE;
}

bool DeleteFileNoFollow(const WideString& path) {
  // DeleteFileW removes a link itself, never its target.
  const WideString longForm = Long(path);
  if (DeleteFileW(longForm.W())) return true;
  if (GetLastError() != ERROR_ACCESS_DENIED) return false;
  const DWORD attributes = GetFileAttributesW(longForm.W());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  SetFileAttributesW(longForm.W(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  return DeleteFileW(longForm.W()) != FALSE;
}

bool RemoveFolderTree(const WideString& path, const WideString& pattern, bool recurse) {
  if (path.Length() < 3) return false;
  WideString folder = path;
  RemoveTrailingBackslashes(folder);
  // The folder itself may be a link: it goes as one, nothing in it.
  if (PathIsLink(folder)) return RemoveEmptyFolder(folder) || DeleteFileNoFollow(folder);
  bool allRemoved = true;
  {
    FileFinder finder;
    finder.Start(folder, pattern.IsEmpty() ? WideString(u"*.*") : pattern);
    while (finder.Next()) {
      bool removed = true;
      switch (StepForEntry(finder.Attributes())) {
        case TreeEntryStep::RemoveLink:
          removed = (finder.Attributes() & FILE_ATTRIBUTE_DIRECTORY) != 0 ? RemoveEmptyFolder(finder.Path())
                                                                          : DeleteFileNoFollow(finder.Path());
          break;
        case TreeEntryStep::Descend:
          removed = !recurse || RemoveFolderTree(finder.Path(), pattern, true);
          break;
        case TreeEntryStep::RemoveFile:
          removed = DeleteFileNoFollow(finder.Path());
          break;
      }
      if (!removed) allRemoved = false;
    }
  }
  if (allRemoved) RemoveEmptyFolder(folder);
  return allRemoved;
}

bool MoveItem(const WideString& from, const WideString& to, DWORD flags) {
  return MoveFileExW(Long(from).W(), to.IsEmpty() ? nullptr : Long(to).W(), flags) != FALSE;
}

bool CopyItem(const WideString& from, const WideString& to, bool failIfExists) {
  return CopyFileW(LongPathForm(from, MAX_PATH).W(), LongPathForm(to, MAX_PATH).W(), failIfExists ? TRUE : FALSE) !=
         FALSE;
}

bool LinkItem(const WideString& link, const WideString& existing) {
  return CreateHardLinkW(LongPathForm(link, MAX_PATH).W(), LongPathForm(existing, MAX_PATH).W(), nullptr) != FALSE;
}

bool SetItemAttributes(const WideString& path, DWORD attributes) {
  return SetFileAttributesW(Long(path).W(), attributes) != FALSE;
}
