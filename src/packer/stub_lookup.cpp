#include "packer/stub_lookup.h"

#include "packer/platform_files.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == PathSeparator(); }

// Resolves "." and ".." segments without touching the file system; a ".."
// that would climb above the start is kept.
std::string Normalise(const std::string& path) {
  const char separator = PathSeparator();
  size_t start = 0;
  std::string root;
  while (start < path.size() && IsSeparator(path[start])) {
    root += separator;
    ++start;
  }
  std::vector<std::string> segments;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    std::string segment = path.substr(start, end - start);
    if (segment == "..") {
      if (!segments.empty() && segments.back() != "..") {
        segments.pop_back();
      } else if (root.empty()) {
        segments.push_back(segment);
      }  // else: the parent of the root is the root
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  std::string out = root;
  for (size_t i = 0; i < segments.size(); ++i) out += (i ? std::string(1, separator) : std::string()) + segments[i];
  return out.empty() ? std::string(".") : out;
}

}  // namespace

std::vector<std::string> StubCandidates(const std::string& programFolder, const std::string& arch) {
  const std::string sep(1, PathSeparator());
  const std::string name = "setup-stub-" + arch + ".exe";
  const std::string folder =
      !programFolder.empty() && IsSeparator(programFolder.back()) ? programFolder : programFolder + sep;
  return {Normalise(folder + "stubs" + sep + name),
          Normalise(folder + ".." + sep + "share" + sep + "plove-install" + sep + "stubs" + sep + name)};
}

bool FindShippedStub(const std::string& arch, std::string* path, std::string* error) {
  std::string folder = ProgramFolder();
  if (folder.empty()) {
    *error = "cannot tell where plovepack lies, so no shipped stub can be found; give --stub STUB.exe";
    return false;
  }
  std::vector<std::string> candidates = StubCandidates(folder, arch);
  for (const std::string& candidate : candidates) {
    if (KindOfPath(candidate) == PathKind::File) {
      *path = candidate;
      return true;
    }
  }
  *error = "no " + arch + " installer stub: looked for '" + candidates[0] + "' and '" + candidates[1] +
           "'; give --stub STUB.exe";
  return false;
}
