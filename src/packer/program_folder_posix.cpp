#include <unistd.h>

#include <string>

#include "packer/stub_lookup.h"

// The kernel's link to the running executable: symbolic links on the way
// (/usr/local/bin/plovepack -> /opt/...) are already resolved, so the
// stubs are looked for beside the real file.
std::string ProgramFolder() {
  std::string path(4096, '\0');
  ssize_t length = readlink("/proc/self/exe", &path[0], path.size());
  if (length <= 0 || size_t(length) >= path.size()) return {};
  path.resize(size_t(length));
  size_t cut = path.find_last_of('/');
  if (cut == std::string::npos) return {};
  return cut == 0 ? std::string("/") : path.substr(0, cut);
}
