#include "check_common.h"

#include <cstdio>

namespace {
int failures = 0;
}  // namespace

void Report(bool ok, const char* what, const std::string& detail) {
  std::printf("%-4s %-22s %s\n", ok ? "ok" : "FAIL", what, detail.c_str());
  if (!ok) ++failures;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += (c >= 32 && c < 127) ? static_cast<char>(c) : '?';
  return out;
}

Bytes ResourceBytes(const wchar_t* type, int id) {
  Bytes bytes;
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
  if (!found) return bytes;
  HGLOBAL loaded = LoadResource(nullptr, found);
  if (!loaded) return bytes;
  bytes.data = static_cast<const unsigned char*>(LockResource(loaded));
  bytes.size = SizeofResource(nullptr, found);
  return bytes;
}


int FailureCount() { return failures; }
