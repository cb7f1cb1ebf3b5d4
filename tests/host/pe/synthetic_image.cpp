#include "synthetic_image.h"

#include <cstring>

#include "pe/byte_source.h"

namespace {
uint32_t AlignUp(uint32_t v, uint32_t a) { return (v + a - 1) / a * a; }
}  // namespace

uint32_t U32At(const std::vector<uint8_t>& image, size_t offset) { return LoadU32(&image[offset]); }

std::vector<uint8_t> BuildImage(const SyntheticImage& layout) {
  const uint32_t peOffset = 0x80;
  const uint32_t optionalSize = layout.is64 ? 240 : 224;
  const uint32_t optionalOffset = peOffset + 24;
  const uint32_t tableOffset = optionalOffset + optionalSize;

  // Section placement first: the resource section's content depends on its RVA.
  std::vector<uint32_t> rvas, offsets;
  std::vector<std::vector<uint8_t>> contents;
  uint32_t rva = AlignUp(layout.sizeOfHeaders, layout.sectionAlignment);
  uint32_t fileOffset = AlignUp(layout.sizeOfHeaders, layout.fileAlignment);
  for (size_t i = 0; i < layout.sections.size(); ++i) {
    std::vector<uint8_t> data = layout.sections[i].data;
    if (int(i) == layout.resourceSection && !layout.resourcesRaw) {
      if (BuildResourceSection(layout.resources, rva, &data) != PeStatus::Ok) return {};
    }
    rvas.push_back(rva);
    offsets.push_back(fileOffset);
    rva = AlignUp(rva + uint32_t(data.size()), layout.sectionAlignment);
    fileOffset = AlignUp(fileOffset + uint32_t(data.size()), layout.fileAlignment);
    contents.push_back(std::move(data));
  }
  std::vector<uint8_t> image(fileOffset, 0);
  uint8_t* p = image.data();
  p[0] = 'M';
  p[1] = 'Z';
  StoreU32(p + 0x3C, peOffset);
  std::memcpy(p + peOffset, "PE\0\0", 4);
  uint8_t* file = p + peOffset + 4;
  StoreU16(file, layout.is64 ? 0x8664 : 0x14C);
  StoreU16(file + 2, uint16_t(layout.sections.size()));
  StoreU16(file + 16, uint16_t(optionalSize));
  StoreU16(file + 18, 0x0102);
  uint8_t* opt = p + optionalOffset;
  StoreU16(opt, layout.is64 ? 0x20B : 0x10B);
  StoreU32(opt + 32, layout.sectionAlignment);
  StoreU32(opt + 36, layout.fileAlignment);
  StoreU16(opt + 40, 6);
  StoreU32(opt + 56, rva);
  StoreU32(opt + 60, layout.sizeOfHeaders);
  StoreU16(opt + 68, 2);  // GUI subsystem
  StoreU32(opt + (layout.is64 ? 108 : 92), 16);
  uint8_t* dirs = opt + (layout.is64 ? 112 : 96);
  uint32_t initialized = 0;
  for (size_t i = 0; i < layout.sections.size(); ++i) {
    uint8_t* h = p + tableOffset + 40 * i;
    std::memcpy(h, layout.sections[i].name.data(), std::min<size_t>(8, layout.sections[i].name.size()));
    StoreU32(h + 8, uint32_t(contents[i].size()));
    StoreU32(h + 12, rvas[i]);
    StoreU32(h + 16, AlignUp(uint32_t(contents[i].size()), layout.fileAlignment));
    StoreU32(h + 20, offsets[i]);
    StoreU32(h + 36, layout.sections[i].characteristics);
    if (layout.sections[i].characteristics & 0x40) initialized += AlignUp(uint32_t(contents[i].size()), layout.fileAlignment);
    std::memcpy(p + offsets[i], contents[i].data(), contents[i].size());
    if (int(i) == layout.resourceSection) {
      StoreU32(dirs + 16, rvas[i]);
      StoreU32(dirs + 20, uint32_t(contents[i].size()));
    }
    if (int(i) == layout.relocationSection) {
      StoreU32(dirs + 40, rvas[i]);
      StoreU32(dirs + 44, uint32_t(contents[i].size()));
    }
  }
  StoreU32(opt + 8, initialized);
  StoreU32(dirs + 32, layout.securityRva);
  StoreU32(dirs + 36, layout.securitySize);
  return image;
}
