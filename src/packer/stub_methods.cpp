#include "packer/stub_methods.h"

#include <algorithm>
#include <string>
#include <vector>

#include "payload/member_method.h"
#include "pe/byte_source.h"
#include "pe/resource_tree.h"
#include "resources/resource_ids.h"

namespace {

constexpr uint32_t kLongestList = 4096;

bool NamesWord(const std::string& list, const std::string& word) {
  for (size_t at = 0; at < list.size();) {
    const size_t end = std::min(list.find_first_of(" \r\n\t", at), list.size());
    if (list.compare(at, end - at, word) == 0) return true;
    at = end + 1;
  }
  return false;
}

}  // namespace

StubMethods MethodsOfStub(const uint8_t* stub, size_t size) {
  StubMethods methods;
  MemorySource file(stub, size);
  uint64_t offset = 0;
  uint32_t length = 0;
  if (LocateResource(file, kResourceTypeRcData, IDR_MEMBER_METHODS, -1, &offset, &length) != PeStatus::Ok ||
      length > kLongestList) {
    return methods;
  }
  std::string list(length, '\0');
  if (!file.ReadAt(offset, list.data(), length)) return methods;
  list.resize(list.find('\0') == std::string::npos ? list.size() : list.find('\0'));
  methods.x86Lzma = NamesWord(list, MethodName(MemberMethod::X86Lzma));
  methods.solid = NamesWord(list, MethodName(MemberMethod::Solid));
  return methods;
}
