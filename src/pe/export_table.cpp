#include "pe/export_table.h"

namespace {

constexpr int kDirectoryExport = 0;
constexpr uint32_t kExportDirectorySize = 40;
// More names than any real DLL has: a larger count is a damaged header.
constexpr uint32_t kMostNames = 1u << 20;

// Compares the zero-ended name at rva with name, reading no further than
// name's length and its end.
bool NameAtEquals(const ByteSource& source, const PeHeaders& headers, uint32_t rva, const std::string& name,
                  bool* equal) {
  const uint32_t length = static_cast<uint32_t>(name.size()) + 1;
  uint64_t offset = 0;
  std::string stored(length, '\0');
  if (headers.RvaToOffset(rva, length, &offset) && source.ReadAt(offset, &stored[0], length)) {
    *equal = stored.compare(0, name.size(), name) == 0 && stored[name.size()] == '\0';
    return true;
  }
  // A name shorter than the one sought may end right at the end of its section.
  if (!headers.RvaToOffset(rva, 1, &offset)) return false;
  *equal = false;
  return true;
}

}  // namespace

PeStatus FindExportedName(const ByteSource& source, const PeHeaders& headers, const std::string& name, bool* found) {
  *found = false;
  const PeDirectory directory = headers.Directory(kDirectoryExport);
  if (directory.rva == 0 || directory.size == 0) return PeStatus::Ok;
  uint64_t offset = 0;
  uint8_t table[kExportDirectorySize];
  if (!headers.RvaToOffset(directory.rva, kExportDirectorySize, &offset) ||
      !source.ReadAt(offset, table, kExportDirectorySize)) {
    return PeStatus::Corrupt;
  }
  const uint32_t nameCount = LoadU32(table + 24);
  const uint32_t namesRva = LoadU32(table + 32);
  if (nameCount == 0) return PeStatus::Ok;
  if (nameCount > kMostNames || !headers.RvaToOffset(namesRva, nameCount * 4, &offset)) return PeStatus::Corrupt;
  for (uint32_t i = 0; i < nameCount; ++i) {
    uint32_t nameRva = 0;
    bool equal = false;
    if (!source.ReadU32(offset + 4 * uint64_t(i), &nameRva) || !NameAtEquals(source, headers, nameRva, name, &equal)) {
      return PeStatus::Corrupt;
    }
    if (equal) {
      *found = true;
      return PeStatus::Ok;
    }
  }
  return PeStatus::Ok;
}

bool RegistersItself(const ByteSource& source) {
  PeHeaders headers;
  bool found = false;
  return ReadPeHeaders(source, &headers) == PeStatus::Ok &&
         FindExportedName(source, headers, "DllRegisterServer", &found) == PeStatus::Ok && found;
}
