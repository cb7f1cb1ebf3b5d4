#include <gtest/gtest.h>

#include "packer/chocolatey_package.h"
#include "packer/stub_lookup.h"
#include "packer/version_resource.h"
#include "packer/winget_manifest.h"
#include "synthetic_image.h"

namespace {

// One node of a version block: length, value length, type, key, value,
// children, each on a 4-byte boundary.
std::vector<uint8_t> Node(const std::u16string& key, const std::vector<uint8_t>& value, uint16_t valueLength,
                          bool text, const std::vector<std::vector<uint8_t>>& children = {}) {
  std::vector<uint8_t> out(6);
  auto pad = [&] { while (out.size() % 4) out.push_back(0); };
  for (char16_t c : key + u'\0') out.insert(out.end(), {uint8_t(c), uint8_t(c >> 8)});
  pad();
  out.insert(out.end(), value.begin(), value.end());
  for (const auto& child : children) {
    pad();
    out.insert(out.end(), child.begin(), child.end());
  }
  StoreU16(&out[0], uint16_t(out.size()));
  StoreU16(&out[2], valueLength);
  StoreU16(&out[4], text ? 1 : 0);
  return out;
}

std::vector<uint8_t> Text(const std::u16string& key, const std::u16string& value, bool countBytes = false) {
  std::vector<uint8_t> bytes;
  for (char16_t c : value + u'\0') bytes.insert(bytes.end(), {uint8_t(c), uint8_t(c >> 8)});
  return Node(key, bytes, uint16_t(countBytes ? bytes.size() : value.size() + 1), true);
}

std::vector<uint8_t> Fixed(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
  std::vector<uint8_t> info(52, 0);
  StoreU32(&info[0], 0xFEEF04BD);
  StoreU32(&info[16], uint32_t(a) << 16 | b);
  StoreU32(&info[20], uint32_t(c) << 16 | d);
  return info;
}

std::vector<uint8_t> Block(const std::vector<uint8_t>& fixed, const std::vector<std::vector<uint8_t>>& strings) {
  std::vector<std::vector<uint8_t>> children;
  if (!strings.empty()) children.push_back(Node(u"StringFileInfo", {}, 0, true, {Node(u"040904B0", {}, 0, true, strings)}));
  children.push_back(Node(u"VarFileInfo", {}, 0, true));
  return Node(u"VS_VERSION_INFO", fixed, uint16_t(fixed.size()), false, children);
}

TEST(VersionResource, TextsThenFixedNumbers) {
  const struct {
    std::vector<uint8_t> block;
    const char* described;
  } cases[] = {
      {Block(Fixed(0, 1, 0, 0), {Text(u"FileVersion", u"0.1.0"), Text(u"ProductName", u"Plove Install"),
                                 Text(u"ProductVersion", u"0.1.0")}),
       "Plove Install 0.1.0"},
      // Value lengths in bytes, as some resource compilers write them.
      {Block(Fixed(0, 1, 0, 0), {Text(u"ProductName", u"Caf\u00e9", true), Text(u"ProductVersion", u"2.0", true)}),
       "Caf\xC3\xA9 2.0"},
      {Block(Fixed(1, 2, 3, 0), {}), "1.2.3"},
      {Block(Fixed(1, 2, 3, 4), {Text(u"ProductName", u"X")}), "X 1.2.3.4"},
      {Block({}, {Text(u"ProductVersion", u"7")}), "7"},
  };
  for (const auto& c : cases) {
    VersionResource version;
    ASSERT_TRUE(ParseVersionResource(c.block.data(), c.block.size(), &version)) << c.described;
    EXPECT_EQ(version.Describe(), c.described);
    // Every shorter block is refused or read in part, never read beyond its end.
    for (size_t size = 0; size < c.block.size(); ++size) {
      std::vector<uint8_t> cut(c.block.begin(), c.block.begin() + long(size));
      (void)ParseVersionResource(cut.data(), cut.size(), &version);
    }
  }
  std::vector<uint8_t> other = Node(u"SOMETHING_ELSE", Fixed(1, 0, 0, 0), 52, false);
  VersionResource version;
  EXPECT_FALSE(ParseVersionResource(other.data(), other.size(), &version));

  SyntheticImage layout;
  layout.sections.push_back({".text", std::vector<uint8_t>(16, 0xC3), 0x60000020});
  layout.resourceSection = 1;
  layout.sections.push_back({".rsrc", {}, 0x40000040});
  layout.resources.Set(16, 1, 1033, cases[0].block.data(), cases[0].block.size());
  std::vector<uint8_t> image = BuildImage(layout);
  ASSERT_TRUE(ReadVersionResource(MemorySource(image.data(), image.size()), &version));
  EXPECT_EQ(version.Describe(), "Plove Install 0.1.0");
}

TEST(StubLookup, BesideTheProgramAndInTheInstalledShareFolder) {
  const struct {
    const char* folder;
    const char* first;
    const char* second;
  } cases[] = {
      {"/usr/bin", "/usr/bin/stubs/setup-stub-x64.exe", "/usr/share/plove-install/stubs/setup-stub-x64.exe"},
      {"/opt/./p//bin/", "/opt/p/bin/stubs/setup-stub-x64.exe", "/opt/p/share/plove-install/stubs/setup-stub-x64.exe"},
      {"/", "/stubs/setup-stub-x64.exe", "/share/plove-install/stubs/setup-stub-x64.exe"},
      {"bin", "bin/stubs/setup-stub-x64.exe", "share/plove-install/stubs/setup-stub-x64.exe"},
      {"..", "../stubs/setup-stub-x64.exe", "../../share/plove-install/stubs/setup-stub-x64.exe"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StubCandidates(c.folder, "x64"), (std::vector<std::string>{c.first, c.second})) << c.folder;
  }
}

TEST(WingetManifest, SubmissionFolders) {
  EXPECT_EQ(WingetManifestFolders("Plove.App", "1.0"), (std::vector<std::string>{"manifests", "p", "Plove", "App", "1.0"}));
  EXPECT_EQ(WingetManifestFolders("\xC3\x89" "clair.Cake.Box", "2"),
            (std::vector<std::string>{"manifests", "\xC3\x89", "\xC3\x89" "clair", "Cake", "Box", "2"}));
  for (const char* tag : {"en-US", "de", "zh-Hans-CN", "x-custom"}) EXPECT_TRUE(IsLocaleTag(tag)) << tag;
  for (const char* tag : {"", "en_US", "e", "en-", "toolonglanguagetag-xx"}) EXPECT_FALSE(IsLocaleTag(tag)) << tag;
}

TEST(ChocolateyPackage, InstallScriptByArchitectureAndSource) {
  ChocolateyPackage p;
  p.productName = "It's \xE2\x80\x98Q\xE2\x80\x99";
  p.url = "https://x.example/s.exe";
  p.sha256 = std::string(64, 'A');
  const struct {
    const char* architecture;
    const char* embedded;
    std::vector<const char*> lines;
  } cases[] = {
      {"x86", "", {"  url            = 'https://x.example/s.exe'", "  checksumType   = 'sha256'",
                   "Install-ChocolateyPackage @packageArgs"}},
      {"x64", "", {"  url64bit       = 'https://x.example/s.exe'", "  checksumType64 = 'sha256'",
                   "Install-ChocolateyPackage @packageArgs"}},
      {"x86", "s.exe", {"  file           = Join-Path $toolsDir 's.exe'", "Install-ChocolateyInstallPackage @packageArgs"}},
      {"x64", "s.exe", {"  file64         = Join-Path $toolsDir 's.exe'", "Install-ChocolateyInstallPackage @packageArgs"}},
  };
  for (const auto& c : cases) {
    p.architecture = c.architecture;
    p.embeddedFile = c.embedded;
    std::string script = ChocolateyInstallScript(p);
    for (const char* line : c.lines) EXPECT_NE(script.find(std::string("\n") + line + "\n"), std::string::npos) << line;
    EXPECT_NE(script.find("\n  silentArgs     = '--silent --noautoreboot'\n  validExitCodes = @(0, 3010, 1641)\n"),
              std::string::npos);
  }
  EXPECT_NE(ChocolateyUninstallScript(p).find("$productName = 'It''s \xE2\x80\x98\xE2\x80\x98Q\xE2\x80\x99\xE2\x80\x99'\n"),
            std::string::npos)
      << "every kind of single quote doubled";
  for (const char* v : {"1", "1.0.0", "1.2.3.4", "2.0.0-beta.1"}) EXPECT_TRUE(IsChocolateyVersion(v)) << v;
  for (const char* v : {"", "1.0 beta", "1.2.3.4.5", "v1", "1.0-", "1..0"}) EXPECT_FALSE(IsChocolateyVersion(v)) << v;
  for (const char* id : {"plove-hello", "Bob.App", "a_b"}) EXPECT_TRUE(IsChocolateyId(id)) << id;
  for (const char* id : {"", "a b", "-a", "a.", "a/b"}) EXPECT_FALSE(IsChocolateyId(id)) << id;
}

}  // namespace
