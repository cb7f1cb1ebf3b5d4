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

TEST(JournalRecords, DamagedFramesStopTheReading) {
  std::vector<size_t> ends;
  const std::vector<uint8_t> good = Encode(Sample(), &ends);
  struct Case {
    const char* what;
    size_t at;
    uint8_t value;
    size_t recordsLeft;
    bool recognised;
  };
  const Case cases[] = {
      {"bad header", 0, 'X', 0, false},
      {"flipped byte in the second body", ends[0] + 6, 0x5A, 1, true},
      {"oversized length", ends[1] + 3, 0x7F, 2, true},
      {"unknown kind", ends[2] + 4, 0xEE, 3, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bytes = good;
    bytes[c.at] = c.value;
    const JournalReading reading = ReadJournal(bytes.data(), bytes.size());
    EXPECT_EQ(reading.recognised, c.recognised);
    EXPECT_FALSE(reading.complete);
    EXPECT_EQ(reading.records.size(), c.recordsLeft);
  }
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
