#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pe/export_table.h"
#include "synthetic_image.h"

namespace {

// A DLL whose first section (RVA 0x1000) holds an export directory naming
// names; count overrides the number of names and namesRva the table's place.
std::vector<uint8_t> ExportingImage(const std::vector<std::string>& names, uint32_t count, uint32_t namesRva,
                                    size_t sectionSize = 0x400) {
  std::vector<uint8_t> data(sectionSize, 0);
  const uint32_t base = 0x1000, table = 40;
  uint32_t text = table + 4 * uint32_t(names.size());
  StoreU32(&data[24], count);
  StoreU32(&data[32], namesRva != 0 ? namesRva : base + table);
  for (size_t i = 0; i < names.size(); ++i) {
    StoreU32(&data[table + 4 * i], base + text);
    std::copy(names[i].begin(), names[i].end(), data.begin() + text);
    text += uint32_t(names[i].size()) + 1;
  }
  SyntheticImage layout;
  layout.sections.push_back({".edata", data, 0x40000040});
  std::vector<uint8_t> image = BuildImage(layout);
  PeHeaders headers;
  MemorySource source(image.data(), image.size());
  EXPECT_EQ(ReadPeHeaders(source, &headers), PeStatus::Ok);
  StoreU32(&image[headers.DirectoryEntryOffset(0)], base);
  StoreU32(&image[headers.DirectoryEntryOffset(0) + 4], 40);
  return image;
}

TEST(ExportTable, FindsTheRegistrationEntryByItsExactName) {
  const struct {
    std::vector<std::string> names;
    bool registers;
  } cases[] = {
      {{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"}, true},
      {{"DllRegisterServer"}, true},
      {{"DllRegisterServerEx", "DllRegister", "dllregisterserver"}, false},
      {{"Compress", "Decompress"}, false},
      {{}, false},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> image = ExportingImage(c.names, uint32_t(c.names.size()), 0);
    EXPECT_EQ(RegistersItself(MemorySource(image.data(), image.size())), c.registers) << c.names.size();
  }
  // No export directory at all, and no PE image at all.
  SyntheticImage plain;
  plain.sections.push_back({".text", std::vector<uint8_t>(16, 0xC3), 0x60000020});
  std::vector<uint8_t> image = BuildImage(plain);
  EXPECT_FALSE(RegistersItself(MemorySource(image.data(), image.size())));
  const std::string text = "DllRegisterServer";
  EXPECT_FALSE(RegistersItself(MemorySource(reinterpret_cast<const uint8_t*>(text.data()), text.size())));
}

TEST(ExportTable, DamagedDirectoriesAreCorruptNotFound) {
  const struct {
    const char* what;
    std::vector<uint8_t> image;
  } cases[] = {
      {"more names than the section holds", ExportingImage({"DllRegisterServer"}, 0x10000, 0)},
      {"a count no DLL has", ExportingImage({"DllRegisterServer"}, 0x40000000, 0)},
      {"the name table outside the image", ExportingImage({"DllRegisterServer"}, 1, 0x90000)},
  };
  for (const auto& c : cases) {
    MemorySource source(c.image.data(), c.image.size());
    PeHeaders headers;
    ASSERT_EQ(ReadPeHeaders(source, &headers), PeStatus::Ok);
    bool found = true;
    EXPECT_EQ(FindExportedName(source, headers, "DllRegisterServer", &found), PeStatus::Corrupt) << c.what;
    EXPECT_FALSE(found) << c.what;
    EXPECT_FALSE(RegistersItself(source)) << c.what;
  }
}

}  // namespace
