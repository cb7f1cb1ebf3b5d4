#include <string>
#include <vector>

#include "packer/stub_lookup.h"
#include "util/wide_string.h"
#include "util/win/windows_api.h"

std::string ProgramFolder() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      std::string path = WideString(buffer.data(), int(length)).ToUtf8();
      size_t cut = path.find_last_of("\\/");
      return cut == std::string::npos ? std::string() : path.substr(0, cut);
    }
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}
