#include <string>
#include <vector>

#include "packer/cli_commands.h"
#include "util/wide_string.h"

// Arguments arrive as UTF-16 and are handed on as UTF-8.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(WideString(argv[i]).ToUtf8());
  return RunPlovepack(args);
}
