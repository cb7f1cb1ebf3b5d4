#include <string>
#include <vector>

#include "packer/cli_commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return RunPlovepack(args);
}
