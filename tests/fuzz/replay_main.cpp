// Replays inputs through a fuzz target without libFuzzer:
//   target                    the built-in seeds
//   target FILE|DIR ...       the given files, every file of the folders
//   target --write-seeds DIR  stores the built-in seeds in DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz_seeds.h"

namespace fs = std::filesystem;

namespace {

bool Replay(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
    return false;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--write-seeds") {
    fs::create_directories(argv[2]);
    int index = 0;
    for (const std::vector<uint8_t>& seed : FuzzSeeds()) {
      std::ofstream out(fs::path(argv[2]) / ("seed-" + std::to_string(index++)), std::ios::binary);
      out.write(reinterpret_cast<const char*>(seed.data()), static_cast<std::streamsize>(seed.size()));
    }
    return 0;
  }

  int count = 0;
  bool ok = true;
  if (argc < 2) {
    for (const std::vector<uint8_t>& seed : FuzzSeeds()) {
      LLVMFuzzerTestOneInput(seed.data(), seed.size());
      ++count;
    }
  }
  for (int i = 1; i < argc; ++i) {
    const fs::path path(argv[i]);
    if (fs::is_directory(path)) {
      for (const fs::directory_entry& entry : fs::directory_iterator(path)) {
        if (entry.is_regular_file()) {
          ok = Replay(entry.path()) && ok;
          ++count;
        }
      }
    } else {
      ok = Replay(path) && ok;
      ++count;
    }
  }
  std::printf("replayed %d inputs\n", count);
  return ok ? 0 : 1;
}
