#include "payload/win/payload_context.h"

#include <gtest/gtest.h>

#include "app/install_state.h"
#include "payload_builder.h"
#include "payload_test_util.h"
#include "scripted_messages.h"
#include "test_folder.h"
#include "util/path_text.h"
#include "util/win/file_system.h"

namespace {

const WideString kExtractFailed(
    u"Unable to extract a file from install, possibly your security software is blocking the install.");

class PayloadContextTest : public ::testing::Test {
 protected:
  void SetUp() override { State().InstallerTitle = WideString(u"Demo Installer"); }
  void TearDown() override { ResetInstallState(); }
  ScriptedMessages messages_{IDOK};
};

}  // namespace

TEST_F(PayloadContextTest, ExtractsTheFixedMembersUnderLowerCaseNames) {
  const std::vector<uint8_t> bytes = BuildTestPayload(
      {{"SETUP.DAT", "[Setup]\r\n"}, {"Setup.Bmp", "BM"}, {"setup.LIC", "licence"}, {"app.exe", "MZ"}});
  WideString folder;
  {
    PayloadContext context;
    bool failed = true;
    EXPECT_TRUE(context.OpenFromMemory(bytes.data(), bytes.size(), &failed));
    EXPECT_FALSE(failed);
    EXPECT_TRUE(context.HasLicence());
    folder = context.PayloadFolder();
    EXPECT_EQ(folder.CharAt(folder.Length()), u'\\');
    WideString bare = folder;
    RemoveTrailingBackslashes(bare);
    EXPECT_TRUE(FileName(bare).StartsWith(WideString(u"PLI")));
    std::string text;
    ASSERT_TRUE(ReadWholeFile(folder + u"setup.dat", text));
    EXPECT_EQ(text, "[Setup]\r\n");
    ASSERT_TRUE(ReadWholeFile(folder + u"setup.bmp", text));
    EXPECT_EQ(text, "BM");
    ASSERT_TRUE(ReadWholeFile(folder + u"setup.lic", text));
    EXPECT_EQ(text, "licence");
    EXPECT_FALSE(PathExists(folder + u"app.exe"));
    EXPECT_EQ(context.Archive().Count(), 4);

    PublishPayload(&context);
    EXPECT_EQ(PublishedPayload(), &context);
    EXPECT_EQ(State().Payload, &context);
  }
  // Destruction removes the folder and withdraws the published pointer.
  EXPECT_FALSE(PathExists(folder));
  EXPECT_EQ(PublishedPayload(), nullptr);
  EXPECT_EQ(messages_.Count(), 0);
}

TEST_F(PayloadContextTest, NoLicenceWithoutTheMember) {
  const std::vector<uint8_t> bytes = BuildTestPayload({{"setup.dat", "x"}});
  PayloadContext context;
  bool failed = true;
  EXPECT_TRUE(context.OpenFromMemory(bytes.data(), bytes.size(), &failed));
  EXPECT_FALSE(failed);
  EXPECT_FALSE(context.HasLicence());
  EXPECT_FALSE(PathExists(context.PayloadFolder() + u"setup.bmp"));
}

TEST_F(PayloadContextTest, LicenceIsFlaggedEvenWhenItsExtractionFails) {
  std::vector<uint8_t> bytes = BuildTestPayload({{"setup.dat", "x"}, {"setup.lic", "licence text"}});
  const size_t trailerAt = bytes.size() - kArchiveTrailerSize;
  const size_t licenceEntryAt = GetU32(bytes, trailerAt + 8) + kArchiveEntryHeaderSize + 10;
  SetU32(bytes, licenceEntryAt + 12, GetU32(bytes, licenceEntryAt + 12) + 1);  // packed sum
  Reseal(bytes);
  PayloadContext context;
  bool failed = true;
  EXPECT_TRUE(context.OpenFromMemory(bytes.data(), bytes.size(), &failed));
  EXPECT_TRUE(context.HasLicence());
  EXPECT_FALSE(PathExists(context.PayloadFolder() + u"setup.lic"));
  EXPECT_EQ(messages_.Count(), 0);
}

TEST_F(PayloadContextTest, DamagedArchiveReportsCorruptionThenTheExtraction) {
  std::vector<uint8_t> bytes = BuildTestPayload({{"setup.dat", "x"}});
  SetU32(bytes, bytes.size() - 24, GetU32(bytes, bytes.size() - 24) + 1);
  PayloadContext context;
  bool failed = false;
  EXPECT_FALSE(context.OpenFromMemory(bytes.data(), bytes.size(), &failed));
  EXPECT_TRUE(failed);
  const std::vector<RecordedMessage> shown = messages_.Messages();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, WideString(u"This installation is corrupted, please obtain a new copy."));
  EXPECT_EQ(shown[1].text, kExtractFailed);
  for (const RecordedMessage& message : shown) {
    EXPECT_EQ(message.caption, WideString(u"Demo Installer"));
    EXPECT_EQ(message.flags, UINT(MB_ICONERROR));
    EXPECT_EQ(message.owner, nullptr);
  }
}

TEST_F(PayloadContextTest, MissingScriptReportsOnlyTheExtraction) {
  const std::vector<uint8_t> bytes = BuildTestPayload({{"readme.txt", "x"}});
  PayloadContext context;
  bool failed = false;
  EXPECT_FALSE(context.OpenFromMemory(bytes.data(), bytes.size(), &failed));
  EXPECT_TRUE(failed);
  ASSERT_EQ(messages_.Count(), 1);
  EXPECT_EQ(messages_.Last().text, kExtractFailed);
  // The folder exists all the same; the caller decides what to do.
  EXPECT_TRUE(PathExists(context.PayloadFolder()));
}
