#include <gtest/gtest.h>

#include "packer/name_suggestion.h"
#include "packer/progress.h"
#include "packer/version_resource.h"
#include "pe/icon_resource.h"

namespace {

std::string WideStringForTest(const char16_t* text) {
  std::string out;
  for (; *text; ++text) out += char(*text);
  return out;
}

TEST(NameSuggestion, MisspellingsAndStrangers) {
  const std::vector<std::u16string> known = {u"[CopyFile]", u"[Registry]", u"[RunFile]", u"[RunAndWaitFile]",
                                             u"<Program Files>", u"<Destination>", u"<DeskTop>"};
  struct Case {
    const char16_t* word;
    const char16_t* nearest;
  } cases[] = {
      {u"[CopyFlie]", u"[CopyFile]"},         // two letters swapped
      {u"[Copy File]", u"[CopyFile]"},        // a blank
      {u"[copy file]", u"[CopyFile]"},        // letter case
      {u"[Regsitry]", u"[Registry]"},
      {u"[RunFiles]", u"[RunFile]"},
      {u"<Progam Files>", u"<Program Files>"},
      {u"<Destnation>", u"<Destination>"},
      {u"<Desk>", u""},                       // three letters off a short name
      {u"[Frobnicate]", u""},
      {u"", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NearestName(c.word, known), std::u16string(c.nearest)) << WideStringForTest(c.word);
  }
}

TEST(VersionResource, WrittenFieldsReadBack) {
  VersionFields fields;
  VersionNumbers("2.10.3-rc1", fields.version);
  fields.productName = "My App";
  fields.productVersion = "2.10.3-rc1";
  fields.fileVersion = VersionNumbersText(fields.version);
  fields.fileDescription = "My App Setup";
  fields.companyName = "Caf\xC3\xA9 & Co";  // UTF-8 in, UTF-16 in the block
  fields.originalFilename = "setup.exe";
  std::vector<uint8_t> block = BuildVersionResource(fields);
  ASSERT_EQ(block.size() % 4, 0u);
  VersionResource read;
  ASSERT_TRUE(ParseVersionResource(block.data(), block.size(), &read));
  EXPECT_EQ(VersionNumbersText(read.fileVersion), "2.10.3.0");
  EXPECT_EQ(VersionNumbersText(read.productVersion), "2.10.3.0");
  EXPECT_EQ(read.Describe(), "My App 2.10.3-rc1");
  EXPECT_EQ(read.Text("CompanyName"), "Caf\xC3\xA9 & Co");
  EXPECT_EQ(read.Text("FileDescription"), "My App Setup");
  EXPECT_EQ(read.Text("OriginalFilename"), "setup.exe");
  EXPECT_EQ(read.Text("LegalCopyright"), "") << "empty texts are left out";
  // Every cut of the block is refused or read without reading past it.
  for (size_t cut = 0; cut < block.size(); ++cut) {
    std::vector<uint8_t> part(block.begin(), block.begin() + long(cut));
    ParseVersionResource(part.data(), part.size(), &read);
  }
}

TEST(VersionResource, NumbersFromVersionTexts) {
  struct Case {
    const char* text;
    const char* numbers;
  } cases[] = {{"1", "1.0.0.0"},       {"1.2.3.4.5", "1.2.3.4"}, {"10.0 beta", "10.0.0.0"},
               {"v1.2", "0.0.0.0"},    {"", "0.0.0.0"},          {"99999.1", "65535.1.0.0"},
               {"1..2", "1.0.0.0"}};
  for (const Case& c : cases) {
    uint16_t numbers[4];
    VersionNumbers(c.text, numbers);
    EXPECT_EQ(VersionNumbersText(numbers), c.numbers) << c.text;
  }
}

std::vector<uint8_t> IconFile(const std::vector<size_t>& imageSizes, bool png = false) {
  std::vector<uint8_t> out = {0, 0, 1, 0, uint8_t(imageSizes.size()), 0};
  uint32_t offset = uint32_t(6 + 16 * imageSizes.size());
  for (size_t bytes : imageSizes) {
    uint8_t entry[16] = {16, 16, 0, 0, 1, 0, 32, 0};
    for (int i = 0; i < 4; ++i) entry[8 + i] = uint8_t(bytes >> (8 * i)), entry[12 + i] = uint8_t(offset >> (8 * i));
    out.insert(out.end(), entry, entry + 16);
    offset += uint32_t(bytes);
  }
  for (size_t bytes : imageSizes) {
    std::vector<uint8_t> image(bytes, 0x55);
    if (png) {
      const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
      std::copy(signature, signature + 8, image.begin());
    } else {
      image[0] = 40, image[1] = image[2] = image[3] = 0;
    }
    out.insert(out.end(), image.begin(), image.end());
  }
  return out;
}

TEST(IconResource, FilesThatAreNotIcons) {
  std::vector<IconImage> images;
  std::string error;
  std::vector<uint8_t> good = IconFile({104, 200}, true);
  ASSERT_TRUE(ParseIconFile(good.data(), good.size(), &images, &error)) << error;
  EXPECT_EQ(images.size(), 2u);
  std::vector<uint8_t> cursor = good;
  cursor[2] = 2;  // a cursor file
  std::vector<uint8_t> none = {0, 0, 1, 0, 0, 0};
  std::vector<uint8_t> outside = good;
  outside[6 + 12] = 0xF0;  // the first image's offset points past the end
  std::vector<uint8_t> garbage = IconFile({104});
  garbage[22] = 'G';  // neither PNG nor BITMAPINFOHEADER
  for (const auto& bad : {cursor, none, outside, garbage, std::vector<uint8_t>(good.begin(), good.begin() + 20)}) {
    EXPECT_FALSE(ParseIconFile(bad.data(), bad.size(), &images, &error));
    EXPECT_FALSE(error.empty());
  }
}

TEST(IconResource, FirstGroupReplacedOthersKept) {
  // Group 100 (the program's icon) uses icons 1 and 2; group 112 uses 2 and 3.
  auto group = [](std::vector<uint16_t> ids) {
    std::vector<uint8_t> g = {0, 0, 1, 0, uint8_t(ids.size()), 0};
    for (uint16_t id : ids) {
      uint8_t entry[14] = {16, 16, 0, 0, 1, 0, 32, 0, 4, 0, 0, 0, uint8_t(id), uint8_t(id >> 8)};
      g.insert(g.end(), entry, entry + 14);
    }
    return g;
  };
  ResourceTree tree;
  const uint8_t old[4] = {1, 2, 3, 4};
  for (uint16_t id : {1, 2, 3}) tree.Set(kResourceTypeIcon, id, 0x409, old, 4);
  std::vector<uint8_t> first = group({1, 2}), second = group({2, 3});
  tree.Set(kResourceTypeGroupIcon, 100, 0x409, first.data(), first.size());
  tree.Set(kResourceTypeGroupIcon, 112, 0x409, second.data(), second.size());

  std::vector<uint8_t> file = IconFile({104, 300});
  std::vector<IconImage> images;
  std::string error;
  ASSERT_TRUE(ParseIconFile(file.data(), file.size(), &images, &error));
  ASSERT_EQ(ReplaceFirstIconGroup(images, &tree), PeStatus::Ok);
  EXPECT_EQ(tree.Find(kResourceTypeIcon, 1, 0x409), nullptr) << "used only by the replaced group";
  EXPECT_NE(tree.Find(kResourceTypeIcon, 2, 0x409), nullptr) << "still used by group 112";
  ASSERT_NE(tree.Find(kResourceTypeIcon, 4, 0x409), nullptr);
  EXPECT_EQ(tree.Find(kResourceTypeIcon, 5, 0x409)->data.size(), 300u);
  const ResourceLanguage* replaced = tree.Find(kResourceTypeGroupIcon, 100, 0x409);
  ASSERT_NE(replaced, nullptr);
  ASSERT_EQ(replaced->data.size(), 6u + 2 * 14);
  EXPECT_EQ(replaced->data[4], 2);
  EXPECT_EQ(replaced->data[6 + 12], 4) << "the first image is RT_ICON 4";
  EXPECT_EQ(replaced->data[6 + 8], 104) << "its size";
  EXPECT_EQ(tree.Find(kResourceTypeGroupIcon, 112, 0x409)->data, second);

  ResourceTree empty;
  ASSERT_EQ(ReplaceFirstIconGroup(images, &empty), PeStatus::Ok);
  EXPECT_NE(empty.Find(kResourceTypeGroupIcon, 1, 0), nullptr) << "a stub without icons gets group 1";
}

TEST(Progress, TextWithPercentageRateAndTimeLeft) {
  EXPECT_EQ(Progress::Text(0, 200000000, 0), "packing: 0.0 MB of 200.0 MB (0 %)");
  EXPECT_EQ(Progress::Text(50000000, 200000000, 5000), "packing: 50.0 MB of 200.0 MB (25 %), 10.0 MB/s, 15 s left");
  EXPECT_EQ(Progress::Text(200000000, 200000000, 8000), "packing: 200.0 MB of 200.0 MB (100 %), 25.0 MB/s");
  EXPECT_EQ(Progress::Text(0, 0, 10), "packing: 0.0 MB of 0.0 MB (100 %)");
}

}  // namespace
