#include "util/win/temp_names.h"

#include "util/path_text.h"
#include "util/win/disk_file.h"
#include "util/win/file_system.h"
#include "util/win/random.h"

WideString TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  WideString folder = (n == 0 || n > MAX_PATH) ? WideString(u"C:\\Temp") : WideString(buffer);
  AddBackslash(folder);
  return folder;
}

namespace {
// An empty file through the file object (long paths included), no reporting.
bool CreateEmpty(const WideString& path) {
  DiskFile file;
  return file.Open(path, GENERIC_WRITE, CREATE_ALWAYS, false);
}
}  // namespace

bool MakeTempFileName(WideString& name, const char* prefix8, const char* suffix8) {
  if (!name.IsEmpty()) DeleteFileForced(name);
  WideString folder = TempFolder();
  // Only a missing prefix is "TMP": an empty one asks for none.
  const WideString prefix = prefix8 != nullptr ? WideString::FromAnsi(prefix8) : WideString(u"TMP");
  wchar_t buffer[MAX_PATH + 1] = {};
  if (GetTempFileNameW(folder.W(), prefix.W(), 0, buffer) != 0) {
    name = WideString(buffer);
  } else {
    name = WideString::Format(u"%s%s%d.tmp", folder, prefix, Random(9999));
  }
  if (suffix8 != nullptr && *suffix8 != 0) {
    DeleteFileForced(name);
    name.Append(WideString::FromAnsi(suffix8));
  }
  if (CreateEmpty(name)) return true;
  CreateFolderTree(folder);
  return CreateEmpty(name);
}

void DeleteTempFile(WideString& name) {
  if (name.IsEmpty()) return;
  DeleteFileForced(name);
  name.Clear();
}

bool MakeTempFolder(WideString& folder) {
  if (!folder.IsEmpty()) DeleteFolderTree(folder, WideString(u"*.*"), true);
  WideString name;
  MakeTempFileName(name, "PLI");
  DeleteFileForced(name);
  folder = name;
  AddBackslash(folder);
  return CreateFolderTree(folder);
}
