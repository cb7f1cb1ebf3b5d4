#include "util/win/temp_names.h"

#include "util/path_text.h"
#include "util/win/file_system.h"
#include "util/win/random.h"
#include "util/win/safe_files.h"

WideString TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  WideString folder = (n == 0 || n > MAX_PATH) ? WideString(u"C:\\Temp") : WideString(buffer);
  AddBackslash(folder);
  return folder;
}

namespace {

// A new empty file: a name that is there already is a failure, never
// opened (it may be a link planted in a folder every user can write).
bool CreateEmpty(const WideString& path, Protection protection) {
  return CreateNewFile(path, GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL, protection).IsValid();
}

// An administrator's temporary files (the uninstaller's copy, the programs
// and data it extracts, its relay file) are for the administrative accounts
// alone; another user's %TEMP% is that user's already.
Protection TempProtection() { return RunOwnProtection(); }

uint32_t UnguessableNumber() {
  uint32_t number = 0;
  if (!CryptoRandom(&number, sizeof number)) number = Random(0);
  return number;
}

constexpr int kNameTries = 16;

}  // namespace

bool MakeTempFileName(WideString& name, const char* prefix8, const char* suffix8) {
  if (!name.IsEmpty()) DeleteFileForced(name);
  WideString folder = TempFolder();
  // Only a missing prefix is "TMP": an empty one asks for none.
  const WideString prefix = prefix8 != nullptr ? WideString::FromAnsi(prefix8) : WideString(u"TMP");
  const bool suffixed = suffix8 != nullptr && *suffix8 != 0;
  const Protection protection = TempProtection();
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    wchar_t buffer[MAX_PATH + 1] = {};
    // GetTempFileNameW creates the file it names, as a new file, with the
    // folder's rules: not for a protected one.
    if (attempt == 0 && protection == Protection::Inherited &&
        GetTempFileNameW(folder.W(), prefix.W(), 0, buffer) != 0) {
      name = WideString(buffer);
      if (!suffixed) return true;
      DeleteFileForced(name);
    } else {
      name = WideString::Format(u"%s%s%d.tmp", folder, prefix, static_cast<int>(UnguessableNumber() % 9999u));
    }
    if (suffixed) name.Append(WideString::FromAnsi(suffix8));
    if (CreateEmpty(name, protection)) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_PATH_NOT_FOUND) CreateFolderTree(folder);
    else if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  name.Clear();
  return false;
}

void DeleteTempFile(WideString& name) {
  if (name.IsEmpty()) return;
  DeleteFileForced(name);
  name.Clear();
}

bool MakeTempFolder(WideString& folder) {
  if (!folder.IsEmpty()) DeleteFolderTree(folder, WideString(u"*.*"), true);
  folder.Clear();
  const WideString temp = TempFolder();
  const Protection protection = TempProtection();
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    const WideString name = WideString::Format(u"%sPLI%08X.tmp", temp, UnguessableNumber());
    if (CreateNewFolder(name, protection)) {
      folder = name;
      AddBackslash(folder);
      return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_PATH_NOT_FOUND) CreateFolderTree(temp);
    else if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
  }
  return false;
}
