#include <gtest/gtest.h>

#include "packer/sha256.h"
#include "packer/winget_manifest.h"
#include "synthetic_image.h"

namespace {

std::string Digest(const std::string& text, size_t piece) {
  Sha256 hash;
  for (size_t at = 0; at < text.size(); at += piece) {
    std::string part = text.substr(at, piece);
    hash.Update(reinterpret_cast<const uint8_t*>(part.data()), part.size());
  }
  return HexDigest(hash.Finish());
}

TEST(Sha256, KnownDigestsWhateverThePieces) {
  const struct {
    std::string text;
    const char* digest;
  } cases[] = {
      {"", "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
      {"abc", "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
      // 56 bytes: the length no longer fits the first padding block.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1"},
      {std::string(1000000, 'a'), "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0"},
  };
  for (const auto& c : cases) {
    for (size_t piece : {size_t(1), size_t(63), size_t(64), size_t(1000)}) {
      if (c.text.size() > 100000 && piece < 64) continue;
      EXPECT_EQ(Digest(c.text, piece), c.digest) << c.text.size() << " bytes in pieces of " << piece;
    }
  }
}

TEST(WingetManifest, FieldRules) {
  for (const char* id : {"Plove.App", "A.B.C.D.E.F.G.H", "Caf\xC3\xA9.App", "a-b_c.1"}) EXPECT_TRUE(IsPackageIdentifier(id)) << id;
  for (const char* id : {"", "Plove", "Plove.", ".App", "A..B", "A.B.C.D.E.F.G.H.I", "My App.X", "A.B/C", "A.B:C",
                         "A.\x01", "A.BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB"}) {
    EXPECT_FALSE(IsPackageIdentifier(id)) << id;
  }
  for (const char* url : {"https://x.example/a.exe", "HTTP://x/y"}) EXPECT_TRUE(IsInstallerUrl(url)) << url;
  for (const char* url : {"", "https://", "ftp://x/y", "https://x/a b", "x.example/a.exe", "file:///c:/a"}) {
    EXPECT_FALSE(IsInstallerUrl(url)) << url;
  }
  for (const char* v : {"1.0", "1.0 beta", "2024-01"}) EXPECT_TRUE(IsPackageVersion(v)) << v;
  for (const char* v : {"", "1/2", "1:2", "a\"b", "\t1"}) EXPECT_FALSE(IsPackageVersion(v)) << v;
}

TEST(WingetManifest, ProductFromTheScriptAndArchitectureFromTheHeader) {
  std::string script =
      "[Project Name]\r\nFirst\r\n[ProgramVersion]\r\n1.0\r\n[Project Name]\r\nCaf\xE9\r\n"
      "[CopyFile]\r\n[Project Name]\r\nnot a name\r\n[UninstallSettings]\r\nPlove\r\n";
  WingetProduct product = ReadWingetProduct(reinterpret_cast<const uint8_t*>(script.data()), script.size());
  EXPECT_TRUE(product.hasName);
  EXPECT_EQ(product.name, "Caf\xC3\xA9") << "the last one wins; value lines are never directives";
  EXPECT_EQ(product.version, "1.0");
  EXPECT_EQ(product.publisher, "Plove");
  EXPECT_FALSE(ReadWingetProduct(nullptr, 0).hasName);
  // The scope as the installer takes it: the first [InstallScope], machine
  // for a value it does not know.
  const std::pair<std::string, InstallScope> scopes[] = {
      {"", InstallScope::Machine},
      {"[InstallScope]\r\n User\r\n[InstallScope]\r\nmachine\r\n", InstallScope::User},
      {"[InstallScope]\r\neither", InstallScope::Either},
      {"[InstallScope]\r\nusers\r\n[InstallScope]\r\nuser\r\n", InstallScope::Machine},
  };
  for (const auto& [text, scope] : scopes) {
    EXPECT_EQ(ReadWingetProduct(reinterpret_cast<const uint8_t*>(text.data()), text.size()).scope, scope) << text;
  }

  for (bool is64 : {false, true}) {
    SyntheticImage layout;
    layout.is64 = is64;
    layout.sections.push_back({".text", std::vector<uint8_t>(16, 0xC3), 0x60000020});
    std::vector<uint8_t> image = BuildImage(layout);
    MemorySource source(image.data(), image.size());
    EXPECT_EQ(InstallerArchitecture(source), is64 ? "x64" : "x86");
    image[0x84] = 0xAA;  // an unknown machine
    EXPECT_EQ(InstallerArchitecture(MemorySource(image.data(), image.size())), "");
  }
}

}  // namespace

namespace {

TEST(WingetManifest, LocaleTextsWrittenBeforeAreKept) {
  WingetInstaller installer;
  installer.identifier = "Plove.App";
  installer.version = "1.0";
  installer.product.name = "App";
  WingetLocale given;
  given.locale = "en-US";
  given.publisher = "Plove";
  given.license = "MIT";
  given.shortDescription = "Short.";
  given.publisherUrl = "https://plove.example/";
  given.licenseUrl = "https://plove.example/licence";
  given.moniker = "app";
  given.tags = SplitTags("one, two  one,three");
  given.description = "Line one\nline \"two\" \\ caf\xC3\xA9";
  given.releaseNotes = "\tNotes.";
  EXPECT_EQ(given.tags, (std::vector<std::string>{"one", "two", "three"}));
  const std::string yaml = WriteWingetLocaleManifest(installer, given, kWingetManifestVersion);

  WingetLocale again;
  again.moniker = "new";  // given anew: wins over the earlier text
  KeepEarlierLocaleTexts(yaml, &again);
  EXPECT_EQ(again.publisherUrl, given.publisherUrl);
  EXPECT_EQ(again.licenseUrl, given.licenseUrl);
  EXPECT_EQ(again.moniker, "new");
  EXPECT_EQ(again.tags, given.tags);
  EXPECT_EQ(again.description, given.description);
  EXPECT_EQ(again.releaseNotes, given.releaseNotes);
  EXPECT_NE(WriteWingetLocaleManifest(installer, again, kWingetManifestVersion).find("\nMoniker: \"new\"\n"),
            std::string::npos);
}

}  // namespace
