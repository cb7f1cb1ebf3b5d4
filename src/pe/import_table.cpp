#include "pe/import_table.h"

#include <cctype>

namespace {

constexpr int kDirectoryImport = 1;
constexpr uint32_t kDescriptorSize = 20;
constexpr uint32_t kMostDescriptors = 4096;
constexpr size_t kLongestName = 255;

// Windows 7's KnownDLLs that later versions kept, and ntdll, which every
// process has mapped before its imports are looked at.
const char* const kKnownDlls[] = {
    "advapi32", "clbcatq", "comdlg32", "difxapi", "gdi32",  "imagehlp", "imm32",    "kernel32",
    "msctf",    "msvcrt",  "normaliz", "nsi",     "ole32",  "oleaut32", "psapi",    "rpcrt4",
    "sechost",  "setupapi", "shell32", "shlwapi", "user32", "wldap32",  "ws2_32",   "ntdll",
};

std::string Lower(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool ReadName(const ByteSource& source, const PeHeaders& headers, uint32_t rva, std::string* name) {
  name->clear();
  for (size_t i = 0; i <= kLongestName; ++i) {
    uint64_t offset = 0;
    char c = 0;
    if (!headers.RvaToOffset(rva + static_cast<uint32_t>(i), 1, &offset) || !source.ReadAt(offset, &c, 1))
      return false;
    if (c == 0) return true;
    name->push_back(c);
  }
  return false;
}

}  // namespace

PeStatus ReadImportedDlls(const ByteSource& source, const PeHeaders& headers, std::vector<std::string>* names) {
  names->clear();
  const PeDirectory directory = headers.Directory(kDirectoryImport);
  if (directory.rva == 0) return PeStatus::Ok;
  for (uint32_t i = 0; i < kMostDescriptors; ++i) {
    uint64_t offset = 0;
    uint8_t descriptor[kDescriptorSize];
    if (!headers.RvaToOffset(directory.rva + i * kDescriptorSize, kDescriptorSize, &offset) ||
        !source.ReadAt(offset, descriptor, kDescriptorSize)) {
      return PeStatus::Corrupt;
    }
    const uint32_t nameRva = LoadU32(descriptor + 12);
    if (nameRva == 0 && LoadU32(descriptor + 16) == 0) return PeStatus::Ok;
    std::string name;
    if (!ReadName(source, headers, nameRva, &name)) return PeStatus::Corrupt;
    names->push_back(name);
  }
  return PeStatus::Corrupt;
}

bool IsKnownDll(const std::string& name) {
  std::string base = Lower(name);
  if (base.size() > 4 && base.compare(base.size() - 4, 4, ".dll") == 0) base.resize(base.size() - 4);
  for (const char* known : kKnownDlls) {
    if (base == known) return true;
  }
  return false;
}

bool DllsLoadedBySearch(const ByteSource& source, std::vector<std::string>* names) {
  names->clear();
  PeHeaders headers;
  std::vector<std::string> imported;
  if (ReadPeHeaders(source, &headers) != PeStatus::Ok || ReadImportedDlls(source, headers, &imported) != PeStatus::Ok)
    return false;
  for (const std::string& name : imported) {
    if (!IsKnownDll(name)) names->push_back(name);
  }
  return true;
}

std::vector<std::string> LoadTimeImportFaults(const ByteSource& source) {
  std::vector<std::string> faults, searched;
  if (!DllsLoadedBySearch(source, &searched)) return faults;
  for (const std::string& name : searched) {
    faults.push_back("the installer imports " + name +
                     " at load time, which Windows looks for in the installer's folder first (DLL planting)");
  }
  return faults;
}
