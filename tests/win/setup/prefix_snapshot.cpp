#include "prefix_snapshot.h"

#include <algorithm>

#include "payload/archive_format.h"
#include "util/wide_string.h"
#include "util/win/scoped_handle.h"

namespace {

// Left out of every snapshot, each for its reason. Paths are upper-cased
// prefixes of the upper-cased full path; a folder excludes all below it.
struct Exclusion {
  const wchar_t* path;
  const char* reason;
};

const Exclusion kFileExclusions[] = {
    {L"C:\\WINDOWS\\TEMP\\", "the system's temporary folder"},
};

const Exclusion kKeyExclusions[] = {
    {L"HKLM\\HARDWARE\\", "rebuilt by Wine at every start of the prefix"},
};

std::wstring Folded(const std::wstring& text) {
  std::wstring folded(text);
  for (wchar_t& c : folded) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return folded;
}

bool Excluded(const std::wstring& folded, const std::vector<std::wstring>& prefixes) {
  for (const std::wstring& prefix : prefixes) {
    // The prefixes end in a backslash: the folder itself goes as well.
    if (folded.compare(0, prefix.size(), prefix) == 0) return true;
    if (folded.size() + 1 == prefix.size() && prefix.compare(0, folded.size(), folded) == 0) return true;
  }
  return false;
}

std::wstring EnvironmentFolder(const wchar_t* name, const wchar_t* below) {
  wchar_t value[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  std::wstring folder(value);
  if (folder.back() != L'\\') folder += L'\\';
  return Folded(folder + below);
}

std::vector<std::wstring> FileExclusions() {
  std::vector<std::wstring> prefixes;
  for (const Exclusion& exclusion : kFileExclusions) prefixes.push_back(exclusion.path);
  // The users' temporary folder; a test may point TMP elsewhere meanwhile.
  prefixes.push_back(EnvironmentFolder(L"USERPROFILE", L"Temp\\"));
  wchar_t temp[MAX_PATH + 1] = {};
  if (GetTempPathW(MAX_PATH + 1, temp) != 0) prefixes.push_back(Folded(temp));
  prefixes.erase(std::remove(prefixes.begin(), prefixes.end(), std::wstring()), prefixes.end());
  return prefixes;
}

// A sum that sees every byte and where it is: the archive's word sum of each
// 4 KiB block, folded in block order.
constexpr size_t kSumBlock = 4096;
constexpr size_t kReadSize = 256 * kSumBlock;

uint64_t FoldBlocks(uint64_t sum, const uint8_t* data, size_t size) {
  for (size_t at = 0; at < size; at += kSumBlock) {
    const size_t length = std::min(kSumBlock, size - at);
    sum = (sum ^ ArchiveWordSum(data + at, length)) * 1099511628211ull;
  }
  return sum;
}

void SumFile(SnapshotFile& file, std::vector<uint8_t>& buffer) {
  ScopedFileHandle handle(CreateFileW(file.path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!handle) {
    file.readError = GetLastError();
    return;
  }
  uint64_t sum = 14695981039346656037ull;
  for (;;) {
    // Whole blocks until the end, so that the blocks do not depend on how
    // the reads happened to split.
    size_t filled = 0;
    DWORD got = 0;
    while (filled < kReadSize) {
      if (!ReadFile(handle.Get(), buffer.data() + filled, static_cast<DWORD>(kReadSize - filled), &got, nullptr)) {
        file.readError = GetLastError();
        return;
      }
      if (got == 0) break;
      filled += got;
    }
    sum = FoldBlocks(sum, buffer.data(), filled);
    if (filled < kReadSize) break;
  }
  file.sum = sum;
}

void AddFolder(const std::wstring& folder, const std::vector<std::wstring>& excluded, std::vector<uint8_t>& buffer,
               PrefixSnapshot& snapshot) {
  WIN32_FIND_DATAW data{};
  ScopedFindHandle find(FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                         nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!find) return;
  do {
    const std::wstring name(data.cFileName);
    if (name == L"." || name == L"..") continue;
    SnapshotFile file;
    file.path = folder + name;
    file.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const std::wstring folded = Folded(file.path);
    if (Excluded(folded + (file.folder ? L"\\" : L""), excluded)) continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      // A link is kept as such: Wine links the user's shell folders to the
      // Unix home folder, which is no part of the prefix.
    } else if (file.folder) {
      AddFolder(file.path + L"\\", excluded, buffer, snapshot);
    } else {
      file.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
      SumFile(file, buffer);
    }
    snapshot.files.emplace(folded, std::move(file));
  } while (FindNextFileW(find.Get(), &data));
}

std::vector<std::wstring> KeyExclusions() {
  std::vector<std::wstring> prefixes;
  for (const Exclusion& exclusion : kKeyExclusions) prefixes.push_back(exclusion.path);
  return prefixes;
}

// Every key is opened in the 64-bit view, where the 32-bit one is the
// Wow6432Node subkeys, and links are read as links, not followed (so that
// CurrentControlSet is not read twice).
constexpr REGSAM kReadKey = KEY_READ | KEY_WOW64_64KEY;

void AddValues(HKEY key, DWORD longestName, DWORD longestData, SnapshotKey& entry) {
  std::vector<wchar_t> name(longestName + 2);
  std::vector<BYTE> data(longestData + 2);
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD dataSize = static_cast<DWORD>(data.size());
    DWORD type = 0;
    const LONG status = RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize);
    if (status == ERROR_MORE_DATA) {
      name.resize(name.size() * 2 + 256);
      data.resize(std::max<size_t>(data.size() * 2, dataSize + 2));
      --index;
      continue;
    }
    if (status != ERROR_SUCCESS) break;
    const std::wstring found(name.data(), nameLength);
    SnapshotValue& value = entry.values[Folded(found)];
    value.name = found;
    value.type = type;
    value.data.assign(reinterpret_cast<const char*>(data.data()), dataSize);
  }
}

void AddKey(HKEY key, const std::wstring& path, const std::vector<std::wstring>& excluded, PrefixSnapshot& snapshot) {
  const std::wstring folded = Folded(path);
  if (Excluded(folded + L"\\", excluded)) return;
  SnapshotKey& entry = snapshot.keys[folded];
  entry.path = path;
  DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values, &longestName,
                       &longestData, nullptr, nullptr) != ERROR_SUCCESS)
    return;
  if (values != 0) AddValues(key, longestName, longestData, entry);
  std::vector<wchar_t> name(longestSubkey + 2);
  for (DWORD index = 0; index < subkeys; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    if (RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    ScopedRegistryKey subkey;
    if (RegOpenKeyExW(key, name.data(), REG_OPTION_OPEN_LINK, kReadKey, subkey.Receive()) != ERROR_SUCCESS) {
      // Seen but unreadable: kept, so that a key that appears is still seen.
      snapshot.keys[Folded(path + L"\\" + name.data())].path = path + L"\\" + name.data();
      continue;
    }
    AddKey(subkey.Get(), path + L"\\" + std::wstring(name.data(), length), excluded, snapshot);
  }
}

std::string Utf8(const std::wstring& text) { return WideString(text.c_str()).ToUtf8(); }

const char* TypeName(DWORD type) {
  switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_LINK: return "REG_LINK";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_QWORD: return "REG_QWORD";
    default: return "type";
  }
}

// A value as a person reads it: text quoted (a list's strings joined by
// "|"), numbers in decimal, other data as its first bytes in hexadecimal.
std::string Describe(const SnapshotValue& value) {
  std::string text = std::string(TypeName(value.type)) + " ";
  const std::string& data = value.data;
  if (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ || value.type == REG_LINK) {
    std::wstring chars(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2);
    while (!chars.empty() && chars.back() == L'\0') chars.pop_back();
    std::replace(chars.begin(), chars.end(), L'\0', L'|');
    return text + "\"" + Utf8(chars) + "\"";
  }
  if ((value.type == REG_DWORD && data.size() == 4) || (value.type == REG_QWORD && data.size() == 8)) {
    uint64_t number = 0;
    for (size_t i = data.size(); i-- > 0;) number = (number << 8) | static_cast<uint8_t>(data[i]);
    return text + std::to_string(number);
  }
  static const char kDigits[] = "0123456789abcdef";
  for (size_t i = 0; i < data.size() && i < 32; ++i) {
    text += kDigits[static_cast<uint8_t>(data[i]) >> 4];
    text += kDigits[static_cast<uint8_t>(data[i]) & 15];
  }
  if (data.size() > 32) text += "... (" + std::to_string(data.size()) + " bytes)";
  return text;
}

std::string ValuePath(const SnapshotKey& key, const SnapshotValue& value) {
  return Utf8(key.path + L"\\" + (value.name.empty() ? std::wstring(L"(default)") : value.name));
}

// Walks two maps in their common order: only(side, entry) for an entry on
// one side, both(before, after) for one on both.
template <typename Map, typename Only, typename Both>
void Merge(const Map& before, const Map& after, Only only, Both both) {
  auto b = before.begin();
  auto a = after.begin();
  while (b != before.end() || a != after.end()) {
    if (a == after.end() || (b != before.end() && b->first < a->first)) {
      only("removed", b->second);
      ++b;
    } else if (b == before.end() || a->first < b->first) {
      only("added", a->second);
      ++a;
    } else {
      both(b->second, a->second);
      ++b;
      ++a;
    }
  }
}

void CompareFiles(const PrefixSnapshot& before, const PrefixSnapshot& after, std::vector<std::string>& lines) {
  auto kind = [](const SnapshotFile& file) { return file.folder ? " folder " : " file "; };
  auto unreadable = [&](const SnapshotFile& file) {
    if (file.readError != 0)
      lines.push_back("unreadable file " + Utf8(file.path) + " (error " + std::to_string(file.readError) + ")");
  };
  Merge(before.files, after.files,
        [&](const char* change, const SnapshotFile& file) {
          lines.push_back(change + std::string(kind(file)) + Utf8(file.path));
          if (std::string(change) == "added") unreadable(file);
        },
        [&](const SnapshotFile& old, const SnapshotFile& now) {
          if (old.folder != now.folder) {
            lines.push_back("removed" + std::string(kind(old)) + Utf8(old.path));
            lines.push_back("added" + std::string(kind(now)) + Utf8(now.path));
          } else if (old.size != now.size) {
            lines.push_back("changed file " + Utf8(now.path) + " (size " + std::to_string(old.size) + " -> " +
                            std::to_string(now.size) + ")");
          } else if (old.sum != now.sum) {
            lines.push_back("changed file " + Utf8(now.path) + " (content)");
          }
          unreadable(now);
        });
}

void CompareValues(const SnapshotKey& key, const std::map<std::wstring, SnapshotValue>& before,
                   const std::map<std::wstring, SnapshotValue>& after, std::vector<std::string>& lines) {
  Merge(before, after,
        [&](const char* change, const SnapshotValue& value) {
          lines.push_back(change + std::string(" value ") + ValuePath(key, value) + " (" + Describe(value) + ")");
        },
        [&](const SnapshotValue& old, const SnapshotValue& now) {
          if (old.type != now.type || old.data != now.data)
            lines.push_back("changed value " + ValuePath(key, now) + " (" + Describe(old) + " -> " + Describe(now) +
                            ")");
        });
}

void CompareKeys(const PrefixSnapshot& before, const PrefixSnapshot& after, std::vector<std::string>& lines) {
  static const std::map<std::wstring, SnapshotValue> kNone;
  Merge(before.keys, after.keys,
        [&](const char* change, const SnapshotKey& key) {
          lines.push_back(change + std::string(" key ") + Utf8(key.path));
          if (std::string(change) == "added")
            CompareValues(key, kNone, key.values, lines);
          else
            CompareValues(key, key.values, kNone, lines);
        },
        [&](const SnapshotKey& old, const SnapshotKey& now) { CompareValues(now, old.values, now.values, lines); });
}

}  // namespace

PrefixSnapshot TakePrefixSnapshot(const std::vector<WideString>& alsoFolders) {
  PrefixSnapshot snapshot;
  std::vector<uint8_t> buffer(kReadSize);
  const std::vector<std::wstring> fileExclusions = FileExclusions();
  AddFolder(L"C:\\", fileExclusions, buffer, snapshot);
  for (const WideString& folder : alsoFolders) {
    std::wstring path(folder.W());
    if (path.empty() || path.back() != L'\\') path += L'\\';
    AddFolder(path, fileExclusions, buffer, snapshot);
  }
  const std::vector<std::wstring> keyExclusions = KeyExclusions();
  const struct {
    HKEY root;
    const wchar_t* name;
  } roots[] = {{HKEY_LOCAL_MACHINE, L"HKLM"}, {HKEY_CURRENT_USER, L"HKCU"}};
  for (const auto& root : roots) {
    ScopedRegistryKey key;
    if (RegOpenKeyExW(root.root, nullptr, 0, kReadKey, key.Receive()) == ERROR_SUCCESS)
      AddKey(key.Get(), root.name, keyExclusions, snapshot);
  }
  return snapshot;
}

std::vector<std::string> DifferencesFrom(const PrefixSnapshot& before, const PrefixSnapshot& after) {
  std::vector<std::string> lines;
  CompareFiles(before, after, lines);
  CompareKeys(before, after, lines);
  return lines;
}

std::string DifferencesText(const std::vector<std::string>& differences) {
  std::string text;
  for (const std::string& line : differences) text += line + "\n";
  return text;
}
