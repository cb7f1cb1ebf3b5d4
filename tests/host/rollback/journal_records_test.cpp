#include "rollback/journal_records.h"

#include <gtest/gtest.h>

namespace {

std::vector<JournalRecord> Sample() {
  JournalRecord begin;
  begin.kind = JournalKind::Begin;
  begin.path = u"Plove Product";
  begin.other = u"1A2B";
  JournalRecord planned;
  planned.kind = JournalKind::PlannedFile;
  planned.number = 7;
  planned.type = 1;
  planned.path = u"C:\\Program Files\\App\\app.exe";
  planned.other = u"C:\\Program Files\\App\\~PLI1A2B-7.old";
  JournalRecord value;
  value.kind = JournalKind::RegistryValue;
  value.number = kRootLocalMachine;
  value.type = 4;
  value.path = u"Software\\Plove";
  value.bytes = {1, 0, 0, 0};
  JournalRecord committed;
  committed.kind = JournalKind::Committed;
  return {begin, planned, value, committed};
}

std::vector<uint8_t> Encode(const std::vector<JournalRecord>& records, std::vector<size_t>* frameEnds = nullptr) {
  std::vector<uint8_t> bytes;
  AppendJournalHeader(bytes);
  for (const JournalRecord& record : records) {
    AppendJournalRecord(record, bytes);
    if (frameEnds != nullptr) frameEnds->push_back(bytes.size());
  }
  return bytes;
}

}  // namespace

TEST(JournalRecords, RoundTripKeepsEveryField) {
  const std::vector<JournalRecord> records = Sample();
  const std::vector<uint8_t> bytes = Encode(records);
  const JournalReading reading = ReadJournal(bytes.data(), bytes.size());
  EXPECT_TRUE(reading.recognised);
  EXPECT_TRUE(reading.complete);
  EXPECT_TRUE(reading.Committed());
  ASSERT_EQ(reading.records.size(), records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(reading.records[i].kind, records[i].kind);
    EXPECT_EQ(reading.records[i].number, records[i].number);
    EXPECT_EQ(reading.records[i].type, records[i].type);
    EXPECT_EQ(reading.records[i].path, records[i].path);
    EXPECT_EQ(reading.records[i].other, records[i].other);
    EXPECT_EQ(reading.records[i].bytes, records[i].bytes);
  }
}

// A run that ended while writing: every cut gives the frames before it,
// and only a cut at a frame's end reads as complete.
TEST(JournalRecords, TornTailEndsTheJournalThere) {
  std::vector<size_t> ends;
  const std::vector<uint8_t> bytes = Encode(Sample(), &ends);
  for (size_t cut = 0; cut <= bytes.size(); ++cut) {
    SCOPED_TRACE(cut);
    const std::vector<uint8_t> torn(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
    const JournalReading reading = ReadJournal(torn.data(), torn.size());
    size_t whole = 0;
    while (whole < ends.size() && ends[whole] <= cut) ++whole;
    EXPECT_EQ(reading.records.size(), whole);
    const bool atBoundary = cut == 0 || cut == 8 || (whole > 0 && ends[whole - 1] == cut);
    EXPECT_EQ(reading.complete, atBoundary);
    EXPECT_EQ(reading.Committed(), whole == ends.size());
  }
}

// What cannot be read as a whole is refused, so that nothing is undone
// from half of it; a torn last frame and reserved zeros are the normal end.
TEST(JournalRecords, DamagedFramesStopTheReading) {
  std::vector<size_t> ends;
  const std::vector<uint8_t> good = Encode(Sample(), &ends);
  struct Case {
    const char* what;
    size_t at;
    uint8_t value;
    size_t recordsLeft;
    bool recognised;
    JournalRefusal refusal;
  };
  const Case cases[] = {
      {"bad header", 0, 'X', 0, false, JournalRefusal::Damaged},
      {"newer version", 7, kJournalVersion + 1, 0, true, JournalRefusal::NewerVersion},
      {"flipped byte in the second body", ends[0] + 6, 0x5A, 1, true, JournalRefusal::Damaged},
      {"oversized length", ends[1] + 3, 0x7F, 2, true, JournalRefusal::Damaged},
      // The last frame: torn where the run ended.
      {"unknown kind, checksum wrong", ends[2] + 4, 0xEE, 3, true, JournalRefusal::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bytes = good;
    bytes[c.at] = c.value;
    const JournalReading reading = ReadJournal(bytes.data(), bytes.size());
    EXPECT_EQ(reading.recognised, c.recognised);
    EXPECT_FALSE(reading.complete);
    EXPECT_EQ(reading.records.size(), c.recordsLeft);
    EXPECT_EQ(reading.refusal, c.refusal);
  }
  // An intact frame of a kind this version does not know, written by a
  // newer one; version 1 knew fewer kinds.
  JournalRecord unknown;
  unknown.kind = static_cast<JournalKind>(kLastJournalKind + 1);
  std::vector<uint8_t> newer = good;
  AppendJournalRecord(unknown, newer);
  EXPECT_EQ(ReadJournal(newer.data(), newer.size()).refusal, JournalRefusal::UnknownKind);
  JournalRecord temp;
  temp.kind = JournalKind::TempFiles;
  std::vector<uint8_t> old = good;
  old[7] = 1;
  AppendJournalRecord(temp, old);
  EXPECT_EQ(ReadJournal(old.data(), old.size()).refusal, JournalRefusal::UnknownKind);
  // Space reserved ahead: zeros after the frames, or a file of zeros only.
  std::vector<uint8_t> reserved = good;
  reserved.resize(good.size() + 4096, 0);
  const JournalReading padded = ReadJournal(reserved.data(), reserved.size());
  EXPECT_EQ(padded.refusal, JournalRefusal::None);
  EXPECT_EQ(padded.records.size(), ends.size());
  EXPECT_TRUE(padded.Committed());
  const std::vector<uint8_t> zeros(4096, 0);
  const JournalReading empty = ReadJournal(zeros.data(), zeros.size());
  EXPECT_FALSE(empty.Refused());
  EXPECT_TRUE(empty.records.empty());
}

// A destination that appeared after the plan is deleted only when the run
// wrote it.
TEST(JournalRecords, OnlyTheRunsOwnNewFilesGo) {
  struct Case {
    bool placed, later, sizeKnown, sizeMatches, theRuns;
  };
  const Case cases[] = {
      {true, true, true, false, true},     // noted as placed
      {false, true, true, true, false},    // the pass went past it without placing it
      {false, false, true, true, true},    // the tail was lost: the member's size
      {false, false, true, false, false},  // the tail was lost: another file
      {false, false, false, false, true},  // a journal without sizes: as before
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlannedFileIsTheRuns(c.placed, c.later, c.sizeKnown, c.sizeMatches), c.theRuns);
  }
  uint64_t size = 0;
  JournalRecord planned;
  EXPECT_FALSE(PlannedSize(planned, size));
  planned.bytes = PlannedSizeBytes(0x123456789ull);
  ASSERT_TRUE(PlannedSize(planned, size));
  EXPECT_EQ(size, 0x123456789ull);
  EXPECT_EQ(RunTempFileName(u"00AB", 0x1F), WideString(u"~PLI00ABt-0000001F.tmp"));
}

TEST(JournalRecords, PlannedFileUndoFollowsTheDisk) {
  struct Case {
    bool existed, asidePresent, destinationPresent;
    PlannedUndo undo;
  };
  const Case cases[] = {
      {true, true, true, PlannedUndo::PutBack},    // replaced
      {true, true, false, PlannedUndo::PutBack},   // put aside, new file not yet there
      {true, false, true, PlannedUndo::Nothing},   // kept, or never reached
      {false, false, true, PlannedUndo::Delete},   // placed new
      {false, false, false, PlannedUndo::Nothing},  // never reached
      {false, true, true, PlannedUndo::Delete},    // placed twice, or a planted kept-aside file: none comes back
      {false, true, false, PlannedUndo::Nothing},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UndoOfPlannedFile(c.existed, c.asidePresent, c.destinationPresent), c.undo);
  }
  EXPECT_EQ(KeptAsideName(u"00AB", 12), WideString(u"~PLI00AB-12.old"));
}

// A kept-aside file's identity survives the journal beside the member's
// size, alone, and in the records that keep files aside; a version 1
// journal's records hold none. Only a "~PLI" name in the destination's own
// folder is a kept-aside name to take a file from.
TEST(JournalRecords, KeptAsideIdentityAndPlace) {
  const KeptIdentity identity{0xA1B2C3D4u, 0x0102030405060708ull};
  JournalRecord sized;
  sized.kind = JournalKind::PlannedFile;
  sized.bytes = PlannedSizeBytes(42);
  AppendKeptIdentity(identity, sized.bytes);
  JournalRecord alone = sized;
  alone.bytes.clear();
  AppendKeptIdentity(identity, alone.bytes);
  JournalRecord replaced = alone;
  replaced.kind = JournalKind::FileReplaced;
  JournalRecord later = alone;
  later.kind = JournalKind::AsideIdentity;
  const std::vector<uint8_t> bytes = Encode({sized, alone, replaced, later});
  const JournalReading reading = ReadJournal(bytes.data(), bytes.size());
  ASSERT_FALSE(reading.Refused());
  ASSERT_EQ(reading.records.size(), 4u);
  for (const JournalRecord& record : reading.records) {
    KeptIdentity read;
    ASSERT_TRUE(KeptIdentityOf(record, read));
    EXPECT_TRUE(read == identity);
  }
  uint64_t size = 0;
  ASSERT_TRUE(PlannedSize(reading.records[0], size));
  EXPECT_EQ(size, 42u);
  EXPECT_FALSE(PlannedSize(reading.records[1], size));

  KeptIdentity none;
  JournalRecord old;
  old.kind = JournalKind::PlannedFile;
  old.bytes = PlannedSizeBytes(42);
  EXPECT_FALSE(KeptIdentityOf(old, none));
  old.kind = JournalKind::FileReplaced;
  old.bytes.clear();
  EXPECT_FALSE(KeptIdentityOf(old, none));
  // Version 1 knows no identity record: such a journal is refused whole.
  std::vector<uint8_t> v1 = Encode({later});
  v1[7] = 1;
  EXPECT_EQ(ReadJournal(v1.data(), v1.size()).refusal, JournalRefusal::UnknownKind);

  struct Place {
    const char16_t* destination;
    const char16_t* aside;
    bool beside;
  };
  const Place places[] = {
      {u"C:\\App\\a.dll", u"C:\\App\\~PLIab-3.old", true},
      {u"C:\\App\\a.dll", u"c:\\app\\~pliAB-3.old", true},
      {u"C:\\App\\a.dll", u"C:\\App\\Sub\\~PLIab-3.old", false},
      {u"C:\\App\\a.dll", u"C:\\Windows\\~PLIab-3.old", false},
      {u"C:\\App\\a.dll", u"C:\\App\\a.dll.old", false},
      {u"C:\\App\\a.dll", u"C:\\App\\~PLIab-3.old/../x", false},
      {u"a.dll", u"~PLIab-3.old", false},
  };
  for (const Place& p : places) {
    EXPECT_EQ(KeptAsideBeside(WideString(p.destination), WideString(p.aside)), p.beside)
        << WideString(p.aside).ToUtf8();
  }
}
