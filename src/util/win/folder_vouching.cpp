#include "util/win/folder_vouching.h"

#include <string>
#include <unordered_map>

#include "util/path_text.h"
#include "util/win/sync.h"

namespace {

struct VouchedFolders {
  SRWLOCK lock = SRWLOCK_INIT;
  bool stopped = false;
  // Folders whose entries only administrators may change; true for those
  // this process made in such a folder.
  std::unordered_map<std::u16string, bool> entriesClosed;
};

VouchedFolders& Folders() {
  static VouchedFolders folders;
  return folders;
}

std::u16string KeyOf(WideString path) {
  RemoveTrailingBackslashes(path);
  std::u16string key = path.Str();
  for (char16_t& c : key) c = FoldAsciiLower(c);
  return key;
}

}  // namespace

void VouchForEntriesOf(const WideString& folder) {
  VouchedFolders& folders = Folders();
  SrwGuard guard(folders.lock);
  if (!folders.stopped) folders.entriesClosed.emplace(KeyOf(folder), false);
}

void NoteFolderMade(const WideString& folder) {
  VouchedFolders& folders = Folders();
  const std::u16string parent = KeyOf(ParentFolder(folder));
  const std::u16string key = KeyOf(folder);
  SrwGuard guard(folders.lock);
  if (folders.stopped || key == parent || folders.entriesClosed.count(parent) == 0) return;
  folders.entriesClosed[key] = true;
}

bool FolderMadeInVouchedFolder(const WideString& folder) {
  VouchedFolders& folders = Folders();
  const std::u16string key = KeyOf(folder);
  SrwGuard guard(folders.lock);
  const auto found = folders.entriesClosed.find(key);
  return found != folders.entriesClosed.end() && found->second;
}

void StopVouchingForFolders() {
  VouchedFolders& folders = Folders();
  SrwGuard guard(folders.lock);
  folders.stopped = true;
  folders.entriesClosed.clear();
}
