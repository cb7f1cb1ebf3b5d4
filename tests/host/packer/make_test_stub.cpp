// Writes the stub that the command-line tests pack into: a minimal PE32
// image with one code section and a resource section holding a manifest.

#include <cstdio>

#include "synthetic_image.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  SyntheticImage layout;
  layout.sections.push_back({".text", std::vector<uint8_t>(0x200, 0xC3), 0x60000020});
  layout.resourceSection = 1;
  layout.sections.push_back({".rsrc", {}, 0x40000040});
  const char manifest[] = "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\"/>";
  layout.resources.Set(24, 1, 1033, reinterpret_cast<const uint8_t*>(manifest), sizeof manifest - 1);
  std::vector<uint8_t> image = BuildImage(layout);
  FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) return 2;
  bool ok = std::fwrite(image.data(), 1, image.size(), out) == image.size();
  return std::fclose(out) == 0 && ok ? 0 : 2;
}
