#include "payload/win/decompress_file.h"

#include <gtest/gtest.h>

#include "app/install_state.h"
#include "payload/member_method.h"
#include "payload_test_util.h"
#include "scripted_messages.h"
#include "test_folder.h"
#include "util/win/file_system.h"

namespace {

class DecompressFileTest : public ::testing::Test {
 protected:
  void SetUp() override { State().InstallerTitle = WideString(u"Demo Installer"); }
  void TearDown() override { ResetInstallState(); }

  WideString WritePacked(const std::vector<uint8_t>& packed) {
    const WideString path = folder_ / u"member.lzma";
    EXPECT_TRUE(WriteWholeFile(path, packed.data(), packed.size()));
    return path;
  }

  void ExpectMessage(const WideString& text) {
    ASSERT_EQ(messages_.Count(), 1);
    const RecordedMessage message = messages_.Last();
    EXPECT_EQ(message.text, text);
    EXPECT_EQ(message.caption, WideString(u"Demo Installer"));
    EXPECT_EQ(message.flags, UINT(MB_ICONERROR | MB_TOPMOST));
    EXPECT_EQ(message.owner, nullptr);
  }

  WideString ReadMessage(const WideString& target, const WideString& source) {
    return u"Error whilst uncompressing '" + target + u"', unable to read '" + source + u"'";
  }

  TestFolder folder_;
  ScriptedMessages messages_{IDOK};
};

}  // namespace

TEST_F(DecompressFileTest, DecodesAMember) {
  const std::string content(100000, 'q');
  const WideString source = WritePacked(Packed(content + "tail"));
  const WideString target = folder_ / u"out.txt";
  EXPECT_TRUE(DecompressFile(source, target));
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(target, bytes));
  EXPECT_EQ(bytes, content + "tail");

  // Larger than the output gathered in memory: written in several pieces.
  std::string large(9u << 20, 'b');
  for (size_t i = 0; i < large.size(); i += 1000) large[i] = static_cast<char>(i / 1000);
  EXPECT_TRUE(DecompressFile(WritePacked(Packed(large)), target));
  ASSERT_TRUE(ReadWholeFile(target, bytes));
  EXPECT_TRUE(bytes == large);
  EXPECT_EQ(messages_.Count(), 0);
}

TEST_F(DecompressFileTest, EmptyOrMissingSourceGivesAnEmptyTarget) {
  const WideString target = folder_ / u"empty.txt";
  EXPECT_TRUE(WriteWholeFile(target, "old content"));
  EXPECT_TRUE(DecompressFile(WritePacked({}), target));
  std::string bytes{"x"};
  ASSERT_TRUE(ReadWholeFile(target, bytes));
  EXPECT_TRUE(bytes.empty());

  const WideString other = folder_ / u"other.txt";
  EXPECT_TRUE(DecompressFile(folder_ / u"no-such-source", other));
  EXPECT_TRUE(PathExists(other));
  EXPECT_EQ(messages_.Count(), 0);
}

TEST_F(DecompressFileTest, RefusedHeadersGiveTheReadMessage) {
  const std::vector<uint8_t> good = Packed("some member content");
  std::vector<std::vector<uint8_t>> bad(4, good);
  bad[0][0] = 225;                           // properties
  bad[1][9] = 1;                             // high half of the size
  std::memset(&bad[2][5], 0xFF, 4);          // 0xFFFFFFFF
  bad[3].resize(good.size() - 6);            // truncated data
  std::vector<uint8_t> shortHeader(good.begin(), good.begin() + 7);
  bad.push_back(shortHeader);
  // Stored members by the same size rules.
  std::vector<uint8_t> stored;
  ASSERT_TRUE(StoreMember(good.data(), good.size(), stored));
  bad.push_back(stored);
  bad.back()[9] = 1;
  bad.push_back(stored);
  bad.back().pop_back();

  for (size_t i = 0; i < bad.size(); ++i) {
    SCOPED_TRACE(i);
    messages_.Clear();
    const WideString source = WritePacked(bad[i]);
    const WideString target = folder_ / u"out.txt";
    EXPECT_FALSE(DecompressFile(source, target));
    ExpectMessage(ReadMessage(target, source));
    EXPECT_FALSE(PathExists(target));
  }
}

TEST_F(DecompressFileTest, TargetInAMissingFolderGivesTheWriteMessage) {
  const WideString source = WritePacked(Packed("content"));
  const WideString target = folder_ / u"missing\\out.txt";
  EXPECT_FALSE(DecompressFile(source, target));
  ExpectMessage(u"Error whilst uncompressing '" + target + u"', unable to write '" + target + u"'");

  // Also for an empty member: the empty target cannot be made either.
  messages_.Clear();
  EXPECT_FALSE(DecompressFile(WritePacked({}), target));
  EXPECT_EQ(messages_.Count(), 1);
}

TEST_F(DecompressFileTest, FailureLeavesNoPartialTarget) {
  // Larger than what is gathered before the target is created, and cut
  // before its end: the target has been started and must go again.
  std::string content(9u << 20, 'a');
  for (size_t i = 0; i < content.size(); i += 4096) content[i] = static_cast<char>(i / 4096);
  std::vector<uint8_t> packed = Packed(content);
  packed.resize(packed.size() - 40);
  const WideString source = WritePacked(packed);
  const WideString target = folder_ / u"big.bin";
  EXPECT_FALSE(DecompressFile(source, target));
  ExpectMessage(ReadMessage(target, source));
  EXPECT_FALSE(PathExists(target));

  // A small member failing early leaves a target that was there untouched.
  messages_.Clear();
  EXPECT_TRUE(WriteWholeFile(target, "previous"));
  std::vector<uint8_t> small = Packed("small member");
  small.resize(small.size() - 3);
  EXPECT_FALSE(DecompressFile(WritePacked(small), target));
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(target, bytes));
  EXPECT_EQ(bytes, "previous");
}

TEST_F(DecompressFileTest, MemoryDecodingCancelsBetweenPieces) {
  // Past the output gathered in memory, so the new file beside the target
  // exists when the cancel comes; it goes, the target stays.
  std::string content(9u << 20, 'c');
  for (size_t i = 0; i < content.size(); i += 777) content[i] = static_cast<char>(i / 777);
  const std::vector<uint8_t> packed = Packed(content);
  const WideString target = folder_ / u"member.bin";
  struct Countdown {
    int left;
    static bool Requested(void* self) { return --static_cast<Countdown*>(self)->left < 0; }
  };
  for (int pieces : {0, 1, 100, 140}) {
    SCOPED_TRACE(pieces);
    ASSERT_TRUE(WriteWholeFile(target, "earlier"));
    Countdown countdown{pieces};
    const DecodeCancel cancel{&Countdown::Requested, &countdown};
    EXPECT_EQ(DecodeMemoryToFile(packed.data(), packed.size(), target, &cancel), DecodeFailure::Cancelled);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(target, bytes));
    EXPECT_EQ(bytes, "earlier");
    EXPECT_TRUE(NamesIn(folder_.Path(), WideString(u"*.plx"), false).empty());
  }
  // Never asked to stop: the whole member, and no message either way.
  Countdown never{1 << 30};
  const DecodeCancel cancel{&Countdown::Requested, &never};
  EXPECT_EQ(DecodeMemoryToFile(packed.data(), packed.size(), target, &cancel), DecodeFailure::None);
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(target, bytes));
  EXPECT_TRUE(bytes == content);
  EXPECT_EQ(messages_.Count(), 0);
}

TEST_F(DecompressFileTest, StoredMembersAreWrittenAsTheyAre) {
  // Past the output buffer: written straight from the packed bytes, in
  // pieces between which a cancel is heard.
  std::string content(9u << 20, 's');
  for (size_t i = 0; i < content.size(); i += 333) content[i] = static_cast<char>(i / 333);
  std::vector<uint8_t> packed;
  ASSERT_TRUE(StoreMember(reinterpret_cast<const uint8_t*>(content.data()), content.size(), packed));
  const WideString target = folder_ / u"stored.bin";
  EXPECT_EQ(DecodeMemoryToFile(packed.data(), packed.size(), target, nullptr), DecodeFailure::None);
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(target, bytes));
  EXPECT_TRUE(bytes == content);

  struct Once {
    int asked = 0;
    static bool Requested(void* self) { return ++static_cast<Once*>(self)->asked > 1; }
  } once;
  const DecodeCancel cancel{&Once::Requested, &once};
  ASSERT_TRUE(WriteWholeFile(target, "earlier"));
  EXPECT_EQ(DecodeMemoryToFile(packed.data(), packed.size(), target, &cancel), DecodeFailure::Cancelled);
  ASSERT_TRUE(ReadWholeFile(target, bytes));
  EXPECT_EQ(bytes, "earlier");
  EXPECT_TRUE(NamesIn(folder_.Path(), WideString(u"*.plx"), false).empty());

  // From a file as well; a byte more than stated is the read message.
  EXPECT_TRUE(DecompressFile(WritePacked(packed), target));
  ASSERT_TRUE(ReadWholeFile(target, bytes));
  EXPECT_TRUE(bytes == content);
  packed.push_back(0);
  const WideString source = WritePacked(packed);
  EXPECT_FALSE(DecompressFile(source, target));
  ExpectMessage(ReadMessage(target, source));
}
