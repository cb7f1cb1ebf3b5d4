#pragma once
// The records of a run's journal (rollback/win/run_journal.h) as bytes: what
// an install changed, written before the change, so that a cancelled,
// failed or interrupted run can be undone.
//
// A journal is an 8-byte header (a magic and the format version) followed by
// frames: the body length (32 bits, little-endian), the body and an FNV-1a
// checksum of the body. A body holds the kind, two numbers, two texts (UTF-16
// units with their count) and a byte string. The space after the last frame
// may be reserved ahead and hold zeros. A reader takes the frames in order: a
// run that ended while a frame was being written leaves a journal that simply
// ends there (nothing but zeros after the torn frame). A journal it cannot
// read as a whole (a newer version, a kind it does not know, a damaged frame
// with written frames after it) is refused: nothing may be undone from it.

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
  // From version 2 on:
  TempFiles = 15,  // path: a folder where the run's temporary files (RunTempFileName) may lie
  RunUser = 16,    // path: the SID of the account that ran it, whose hive kRootCurrentUser names
  DeletionCancelled = 17,  // path: a deletion at the next restart that placing a file took back
  AsideIdentity = 18,      // path: a kept-aside file; bytes: its identity (KeptIdentityBytes), which
                           // replaces the one an earlier record gave it (it was copied aside, say)
};
constexpr uint8_t kLastJournalKind = 18;
// The version written; versions 1 to this one are read.
constexpr uint8_t kJournalVersion = 2;

// Version 2 meanings of fields version 1 left at zero or empty:
// PlannedFile.bytes: the member's size (64 bits, little-endian), which tells
//   a file this run wrote from another one when a crash lost its
//   FilePlaced record; for a file that existed, the identity of the file
//   then (KeptIdentityBytes) follows, or stands alone when no size is known.
// FileReplaced.bytes, OldFileKept.bytes: the identity of the file kept aside.
// DllRegistered.type: kDllWasThere when the file at path was there before
//   the run (kept by the version rule, or replaced): its registration is not
//   the run's to take away; a replaced one is registered again once its old
//   content is back.
constexpr uint32_t kDllWasThere = 1;
// PendingRename.type: kEarlierPairReplaced when the run took out an earlier
// install's pair for the same file (put back on rollback).
constexpr uint32_t kEarlierPairReplaced = 1;
// OldFileKept.type: the file's attributes with kAttributesNoted set (no
// attribute uses that bit), put back with it.
constexpr uint32_t kAttributesNoted = 0x80000000u;

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

enum class JournalRefusal : uint8_t {
  None,
  NewerVersion,  // written by a newer version of the installer
  UnknownKind,   // an intact frame of a kind this version does not know
  Damaged,       // not a journal, or a damaged frame with written frames after it
};

struct JournalReading {
  bool recognised = false;  // the header is there
  bool complete = true;     // false: the bytes ended in a torn or damaged frame
  uint8_t version = 0;
  JournalRefusal refusal = JournalRefusal::None;
  std::vector<JournalRecord> records;
  // True when a Committed record was read.
  bool Committed() const;
  bool Refused() const { return refusal != JournalRefusal::None; }
};
// Never reads outside data[0, size); a frame longer than kMaxFrameBytes
// counts as damaged. Bytes that are all zeros (a journal whose space was
// reserved before anything was written) read as an empty journal.
JournalReading ReadJournal(const uint8_t* data, size_t size);
constexpr uint32_t kMaxFrameBytes = 16u << 20;

// The name beside a planned file that keeps its old content while the run
// lasts: "~PLI" + tag + "-" + index + ".old", in the file's own folder.
WideString KeptAsideName(const WideString& tag, uint32_t index);

// The name of a temporary file a member of the run is decoded into:
// "~PLI" + tag + "t-" + 8 hexadecimal digits + ".tmp"; RunTempFilePattern
// matches every one of them (for a folder search).
WideString RunTempFileName(const WideString& tag, uint32_t random);
WideString RunTempPrefix(const WideString& tag);  // the name up to the digits
WideString RunTempFilePattern(const WideString& tag);

// The 8 bytes of PlannedFile.bytes for a member of size bytes, and back
// (false when the record holds no size).
std::vector<uint8_t> PlannedSizeBytes(uint64_t size);
bool PlannedSize(const JournalRecord& record, uint64_t& size);

// A kept-aside file's identity on its volume (volume serial number and file
// ID), which a rename keeps and another file under its name does not have:
// nothing is put back from a kept-aside name that holds another file.
struct KeptIdentity {
  uint32_t volumeSerial = 0;
  uint64_t fileId = 0;
  bool operator==(const KeptIdentity& other) const {
    return volumeSerial == other.volumeSerial && fileId == other.fileId;
  }
};
constexpr size_t kKeptIdentityBytes = 12;
// Appended to a record's bytes (little-endian serial, then the ID).
void AppendKeptIdentity(const KeptIdentity& identity, std::vector<uint8_t>& bytes);
// The identity a PlannedFile, FileReplaced, OldFileKept or AsideIdentity
// record holds (false: none, as in journals of version 1).
bool KeptIdentityOf(const JournalRecord& record, KeptIdentity& identity);

// A kept-aside name that undoing may take a file from: one of ours
// ("~PLI...") right in the destination's own folder, never anywhere else a
// damaged or forged record names.
bool KeptAsideBeside(const WideString& destination, const WideString& aside);

// What undoing a planned file comes to, told by the disk alone (a file
// placed as planned is not flushed to the journal, so after a crash its
// record may be missing): the old content kept aside goes back; a
// destination that did not exist before the run and exists now goes, and
// nothing is put back for it, whatever is found under its kept-aside name.
enum class PlannedUndo : uint8_t { Nothing, PutBack, Delete };
PlannedUndo UndoOfPlannedFile(bool existedBefore, bool keptAsidePresent, bool destinationPresent);

// Whether a destination that was not there at plan time and is there now is
// this run's to delete. placedNoted: a FilePlaced record of it was read;
// laterNoted: a record the run wrote after it would have been noted
// (a FilePlaced of a later plan index, the commit), so its absence is real;
// sizeKnown/sizeMatches: the member's size from the plan against the file's.
// Without a record either way (a power loss took the unflushed tail), a file
// of the member's size is taken as the run's; journals without sizes keep
// the earlier rule (delete).
bool PlannedFileIsTheRuns(bool placedNoted, bool laterNoted, bool sizeKnown, bool sizeMatches);
