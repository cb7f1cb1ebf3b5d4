#pragma once
// The records of a run's journal (rollback/win/run_journal.h) as bytes: what
// an install changed, written before the change, so that a cancelled,
// failed or interrupted run can be undone.
//
// A journal is an 8-byte header followed by frames: the body length (32
// bits, little-endian), the body and an FNV-1a checksum of the body. A body
// holds the kind, two numbers, two texts (UTF-16 units with their count) and
// a byte string. A reader takes the frames in order and stops at the first
// that is incomplete or damaged: a run that ended while a frame was being
// written leaves a journal that simply ends there.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "util/wide_string.h"

enum class JournalKind : uint8_t {
  None = 0,
  Begin = 1,          // path: the product; other: the run's tag for kept-aside names
  PlannedFile = 2,    // number: plan index; type: 1 when the file existed; path; other: kept-aside path
  PlanEnd = 3,        // the plan is complete
  FilePlaced = 4,     // number: plan index (informative: the plan and the disk tell the rest)
  FileCreated = 5,    // path: a file that did not exist
  FileReplaced = 6,   // path; other: where its old content was put aside
  FolderCreated = 7,  // path: a folder that did not exist (removed again when empty)
  RegistryKey = 8,    // number: root; path: the topmost key that did not exist
  RegistryValue = 9,  // number: root; type: old type; path: key; other: value name; bytes: old data;
                      // a value that did not exist has type kAbsentValue
  PendingRename = 10,  // path: the file to be replaced at restart; other: its staged replacement
  DllRegistered = 11,  // path
  ProgramRun = 12,     // path: the program, which cannot be undone
  Committed = 13,      // the run ended well: nothing is to be undone, kept-aside files go
  OldFileKept = 14,    // path: a file of the old version its uninstaller removes; other: a hard link to it
};
constexpr uint8_t kLastJournalKind = 14;

// RegistryValue.type of a value that was not there.
constexpr uint32_t kAbsentValue = 0xFFFFFFFFu;

// The roots a journal names by number.
enum JournalRoot : uint32_t {
  kRootClasses = 0,
  kRootCurrentUser = 1,
  kRootLocalMachine = 2,
  kRootCurrentConfig = 3,
  kRootUsers = 4,
};

struct JournalRecord {
  JournalKind kind = JournalKind::None;
  uint32_t number = 0;
  uint32_t type = 0;
  WideString path;
  WideString other;
  std::vector<uint8_t> bytes;
};

// The 8 bytes that start every journal.
void AppendJournalHeader(std::vector<uint8_t>& out);
void AppendJournalRecord(const JournalRecord& record, std::vector<uint8_t>& out);

struct JournalReading {
  bool recognised = false;  // the header is there
  bool complete = true;     // false: the bytes ended in a torn or damaged frame
  std::vector<JournalRecord> records;
  // True when a Committed record was read.
  bool Committed() const;
};
// Never reads outside data[0, size); a frame longer than kMaxFrameBytes
// counts as damaged.
JournalReading ReadJournal(const uint8_t* data, size_t size);
constexpr uint32_t kMaxFrameBytes = 16u << 20;

// The name beside a planned file that keeps its old content while the run
// lasts: "~PLI" + tag + "-" + index + ".old", in the file's own folder.
WideString KeptAsideName(const WideString& tag, uint32_t index);

// What undoing a planned file comes to, told by the disk alone (a file
// placed as planned is not flushed to the journal, so after a crash its
// record may be missing): the old content kept aside goes back; a
// destination that did not exist before the run and exists now goes, and
// nothing is put back for it, whatever is found under its kept-aside name.
enum class PlannedUndo : uint8_t { Nothing, PutBack, Delete };
PlannedUndo UndoOfPlannedFile(bool existedBefore, bool keptAsidePresent, bool destinationPresent);
