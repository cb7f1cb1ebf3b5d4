#include "packer/messages.h"

#include <cstdio>

int Fail(int status, const std::string& text) {
  std::fflush(stdout);
  std::fprintf(stderr, "plovepack: error: %s\n", text.c_str());
  return status;
}

void PrintWarning(const std::string& text) {
  std::fflush(stdout);
  std::fprintf(stderr, "plovepack: warning: %s\n", text.c_str());
}

void PrintLine(const std::string& text) { std::fprintf(stdout, "%s\n", text.c_str()); }
