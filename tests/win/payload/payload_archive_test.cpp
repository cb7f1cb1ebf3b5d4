#include "payload/win/payload_archive.h"

#include <gtest/gtest.h>

#include "app/install_state.h"
#include "payload_builder.h"
#include "payload_test_util.h"
#include "scripted_messages.h"
#include "access_rules.h"
#include "test_folder.h"
#include "util/win/file_system.h"
#include "util/win/scoped_handle.h"

namespace {

std::string ReadFile(const WideString& path) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(path, bytes));
  return bytes;
}

}  // namespace

TEST(PayloadArchive, NamesIgnoreOnlyAsciiCase) {
  ScriptedMessages messages(IDOK);
  const std::vector<uint8_t> bytes =
      BuildTestPayload({{"Setup.DAT", "script"}, {"\xC9t\xE9.txt", "accented"}, {"Bin\\Tool.exe", "tool"}});
  PayloadArchive archive;
  archive.OpenFromMemory(bytes.data(), bytes.size());
  ASSERT_EQ(archive.Count(), 3);

  PayloadEntry entry;
  EXPECT_TRUE(archive.Find(WideString(u"setup.dat"), &entry));
  EXPECT_EQ(entry.Name(), WideString(u"Setup.DAT"));
  EXPECT_EQ(entry.unpackedSize, 6u);
  EXPECT_EQ(entry.dataOffset, 128u);
  EXPECT_TRUE(archive.Find(WideString(u"BIN\\tool.EXE")));

  // U+00C9 / U+00E9 differ only in case, which is not folded.
  EXPECT_TRUE(archive.Find(WideString(u"\u00C9t\u00E9.txt")));
  EXPECT_FALSE(archive.Find(WideString(u"\u00E9t\u00E9.txt"), &entry));
  EXPECT_EQ(entry.packedSize, 0u);  // cleared
  EXPECT_EQ(entry.name[0], 0);
  EXPECT_EQ(archive.UnpackedSizeOf(WideString(u"\u00C9T\u00E9.TXT")), 8u);
  EXPECT_EQ(archive.UnpackedSizeOf(WideString(u"none")), 0u);

  EXPECT_EQ(archive.NameAt(0), WideString(u"Setup.DAT"));
  EXPECT_EQ(archive.NameAt(1), WideString(u"\u00C9t\u00E9.txt"));
  EXPECT_EQ(archive.NameAt(3), WideString());
  EXPECT_EQ(archive.NameAt(-1), WideString());

  TestFolder folder;
  EXPECT_TRUE(archive.ExtractTo(WideString(u"BIN\\TOOL.EXE"), folder / u"tool.exe"));
  EXPECT_EQ(ReadFile(folder / u"tool.exe"), "tool");
  EXPECT_FALSE(archive.ExtractTo(WideString(u"\u00E9t\u00E9.txt"), folder / u"x.txt"));
  EXPECT_FALSE(PathExists(folder / u"x.txt"));
  EXPECT_EQ(messages.Count(), 0);

  archive.Close();
  EXPECT_EQ(archive.Count(), 0);
  EXPECT_FALSE(archive.Find(WideString(u"setup.dat")));
}

TEST(PayloadArchive, DuplicateNamesFindTheFirstAndExtractEveryOne) {
  std::vector<uint8_t> bytes = BuildTestPayload({{"data.bin", "first"}, {"DATA.BIN", "second!"}});
  PayloadArchive archive;
  archive.OpenFromMemory(bytes.data(), bytes.size());
  PayloadEntry entry;
  ASSERT_TRUE(archive.Find(WideString(u"data.bin"), &entry));
  EXPECT_EQ(entry.unpackedSize, 5u);

  TestFolder folder;
  EXPECT_TRUE(archive.ExtractTo(WideString(u"data.bin"), folder / u"data.bin"));
  EXPECT_EQ(ReadFile(folder / u"data.bin"), "second!");

  // The second one damaged: the first is what the file holds.
  const size_t trailerAt = bytes.size() - kArchiveTrailerSize;
  const size_t secondEntryAt = GetU32(bytes, trailerAt + 8) + kArchiveEntryHeaderSize + 9;
  bytes[GetU32(bytes, secondEntryAt) + 20] ^= 0x40;
  Reseal(bytes);
  archive.OpenFromMemory(bytes.data(), bytes.size());
  ASSERT_EQ(archive.Count(), 2);
  EXPECT_TRUE(archive.ExtractTo(WideString(u"data.bin"), folder / u"again.bin"));
  EXPECT_EQ(ReadFile(folder / u"again.bin"), "first");
}

// What is extracted by name is the run's temporary file: an administrator's
// is for the administrative accounts alone, over a file that was there too.
TEST(PayloadArchive, ExtractedFilesOfAnAdministratorAreItsAlone) {
  const std::vector<uint8_t> bytes = BuildTestPayload({{"tool.exe", "MZ tool"}});
  PayloadArchive archive;
  archive.OpenFromMemory(bytes.data(), bytes.size());
  TestFolder folder;
  ASSERT_TRUE(WriteWholeFile(folder / u"over.exe", "old"));
  for (const WChar* name : {u"new.exe", u"over.exe"}) {
    ASSERT_TRUE(archive.ExtractTo(WideString(u"tool.exe"), folder / name));
    EXPECT_EQ(ReadFile(folder / name), "MZ tool");
    const WideString rules = DaclTextOf(folder / name);
    EXPECT_NE(rules.Find(WideString(u"FA;;;SY)")), 0) << rules.ToUtf8();
    EXPECT_EQ(rules.Find(WideString(u";;;WD)")), 0) << rules.ToUtf8();
  }
}

TEST(PayloadArchive, PackedSumMismatchIsSkippedSilently) {
  ScriptedMessages messages(IDOK);
  std::vector<uint8_t> bytes = BuildTestPayload({{"member.txt", std::string(5000, 'm')}});
  bytes[kArchiveReservedSize + 14] ^= 0x01;
  Reseal(bytes);
  PayloadArchive archive;
  archive.OpenFromMemory(bytes.data(), bytes.size());
  ASSERT_EQ(archive.Count(), 1);
  TestFolder folder;
  EXPECT_FALSE(archive.ExtractTo(WideString(u"member.txt"), folder / u"member.txt"));
  EXPECT_FALSE(PathExists(folder / u"member.txt"));
  EXPECT_EQ(messages.Count(), 0);
}

TEST(PayloadArchive, DamagedArchivesHaveNoEntries) {
  State().InstallerTitle = WideString(u"Demo Installer");
  ScriptedMessages messages(IDOK);
  const std::vector<uint8_t> good = BuildTestPayload({{"setup.dat", "script"}});
  PayloadArchive archive;

  // Not an archive at all: silent.
  std::vector<uint8_t> bytes = good;
  bytes.back() ^= 0x10;
  archive.OpenFromMemory(bytes.data(), bytes.size());
  EXPECT_EQ(archive.Count(), 0);
  archive.OpenFromMemory(good.data(), 10);
  EXPECT_EQ(archive.Count(), 0);
  EXPECT_EQ(messages.Count(), 0);

  // An archive with a wrong checksum: reported.
  bytes = good;
  SetU32(bytes, bytes.size() - 24, GetU32(bytes, bytes.size() - 24) + 1);
  archive.OpenFromMemory(bytes.data(), bytes.size());
  EXPECT_EQ(archive.Count(), 0);
  ASSERT_EQ(messages.Count(), 1);
  EXPECT_EQ(messages.Last().text, WideString(u"This installation is corrupted, please obtain a new copy."));
  EXPECT_EQ(messages.Last().caption, WideString(u"Demo Installer"));
  EXPECT_EQ(messages.Last().flags, UINT(MB_ICONERROR));
  EXPECT_EQ(messages.Last().owner, nullptr);
  ResetInstallState();
}

TEST(PayloadArchive, ExtractionLeavesNoPackedTemporaryFiles) {
  ScriptedMessages messages(IDOK);
  TestFolder folder;
  {
    TempInFolder temp(folder / u"temp\\");
    const std::vector<uint8_t> bytes = BuildTestPayload({{"a.txt", "alpha"}, {"a.txt", "again"}});
    PayloadArchive archive;
    archive.OpenFromMemory(bytes.data(), bytes.size());
    EXPECT_TRUE(archive.ExtractTo(WideString(u"a.txt"), folder / u"a.txt"));
    // The decoder fails on a target it cannot create; its packed copy goes too.
    EXPECT_FALSE(archive.ExtractTo(WideString(u"a.txt"), folder / u"missing\\a.txt"));
    EXPECT_EQ(temp.Files(WideString(u"*.tmp")), 0);
  }
  EXPECT_EQ(messages.Count(), 2);
}

TEST(PayloadArchive, DuplicateFailingPastTheMemoryBufferKeepsTheEarlierOne) {
  // Two members of one name; the second decodes more than the 8 MiB held in
  // memory before its stream turns out to be cut short. The file keeps what
  // the first one extracted, and nothing else is left beside it.
  State().InstallerTitle = WideString(u"Demo Installer");
  ScriptedMessages messages(IDOK);
  std::string big(12u << 20, 'z');
  for (size_t i = 0; i < big.size(); i += 512) big[i] = static_cast<char>(i * 7 / 512);
  PackedMember first{"big.bin", Packed("the first one"), 13};
  PackedMember second{"BIG.BIN", Packed(big), static_cast<uint32_t>(big.size())};
  second.packed.resize(second.packed.size() - 200);
  std::vector<uint8_t> bytes;
  ASSERT_EQ(WriteArchive({first, second}, bytes), ArchiveWriteStatus::Ok);
  PayloadArchive archive;
  archive.OpenFromMemory(bytes.data(), bytes.size());
  ASSERT_EQ(archive.Count(), 2);

  TestFolder folder;
  const WideString target = folder / u"big.bin";
  EXPECT_TRUE(archive.ExtractTo(WideString(u"big.bin"), target));
  EXPECT_EQ(ReadFile(target), "the first one");
  ASSERT_EQ(messages.Count(), 1);  // the second one's read message
  EXPECT_TRUE(messages.Last().text.StartsWith(u"Error whilst uncompressing '" + target + u"', unable to read '"))
      << messages.Last().text;

  // A file that was there before survives a member that fails the same way.
  ASSERT_TRUE(WriteWholeFile(target, "kept"));
  PackedMember only{"cut.bin", second.packed, second.unpackedSize};
  ASSERT_EQ(WriteArchive({only}, bytes), ArchiveWriteStatus::Ok);
  archive.OpenFromMemory(bytes.data(), bytes.size());
  EXPECT_FALSE(archive.ExtractTo(WideString(u"cut.bin"), target));
  EXPECT_EQ(ReadFile(target), "kept");

  // Into a file held open: the failing second one wrote over the first,
  // which is decoded into it again.
  archive.OpenFromMemory(bytes.data(), bytes.size());
  std::vector<uint8_t> both;
  ASSERT_EQ(WriteArchive({first, second}, both), ArchiveWriteStatus::Ok);
  archive.OpenFromMemory(both.data(), both.size());
  MemberEntries entries;
  ASSERT_TRUE(archive.CollectEntries(WideString(u"big.bin"), entries));
  {
    ScopedFileHandle held(CreateFileW((folder / u"held.bin").W(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    DecodeReport report;
    DecodeEntriesToHandle(entries, held.Get(), nullptr, report);
    EXPECT_TRUE(report.extracted);
    EXPECT_EQ(report.failures, std::vector<DecodeFailure>{DecodeFailure::Read});
  }
  EXPECT_EQ(ReadFile(folder / u"held.bin"), "the first one");
  DeleteFileForced(folder / u"held.bin");

  EXPECT_EQ(NamesIn(folder.Path(), WideString(u"*"), true).size(), 1u);
  ResetInstallState();
}
