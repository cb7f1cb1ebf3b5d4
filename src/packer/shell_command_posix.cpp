#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "packer/shell_command.h"

int RunShellCommand(const std::string& command) {
  std::fflush(nullptr);
  const int status = std::system(command.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

std::string QuotedForShell(const std::string& path) {
  std::string quoted = "'";
  for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}
