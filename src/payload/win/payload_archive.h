#pragma once
// The payload archive of the installer: RT_RCDATA resource 24356 of the
// executable, read in place from the mapped image. Members are looked up by
// name (ANSI names, compared folding only the ASCII letters) and decoded
// straight from the mapped bytes into files.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "payload/win/decompress_file.h"
#include "payload/win/solid_blocks.h"
#include "util/wide_string.h"
#include "util/win/sync.h"
#include "util/win/windows_api.h"

// One directory entry: the header fields and the name bytes as stored
// (zero-filled behind the name).
struct PayloadEntry {
  uint32_t dataOffset = 0;
  uint32_t packedSize = 0;
  uint32_t unpackedSize = 0;
  uint32_t packedSum = 0;
  uint8_t nameLength = 0;
  char name[260] = {};

  // The name converted from the ANSI code page.
  WideString Name() const;
};

// The entries of one name, copied out of the archive, with what decoding
// them needs: they can be decoded on any thread without the archive.
struct MemberEntries {
  const uint8_t* data = nullptr;  // the archive's bytes (owned by its opener)
  WideString sourcePath;          // the file that holds them, for the read message
  std::vector<PayloadEntry> entries;
  // The archive's solid blocks, for entries that are slices of one.
  std::shared_ptr<SolidBlocks> blocks;

  // The sum of the sizes that the entries' stream headers declare.
  uint64_t DeclaredSize() const;
};

// What decoding the entries of a name to one target gave: the failures to
// report, in directory order, and whether one entry decoded cleanly.
struct DecodeReport {
  std::vector<DecodeFailure> failures;
  bool extracted = false;
  bool cancelled = false;
};

// Decodes every entry into targetPath in directory order, so the last one
// that decodes cleanly is what the file holds. A packed-sum mismatch is
// skipped without a failure. Shows nothing. Once cancel asks to stop, the
// rest is left undone and report.cancelled is set. scratch: targetPath is a
// scratch file of the caller's, whose content matters only when the report
// says extracted; a single entry is then decoded straight into it.
void DecodeEntries(const MemberEntries& member, const WideString& targetPath, const DecodeCancel* cancel,
                   DecodeReport& report, bool scratch = false);
// The same into the file behind handle (a temporary file of the caller's,
// written from its start and cut to what it holds), never opened by name.
// When a later entry fails, the last that decoded cleanly is decoded again.
void DecodeEntriesToHandle(const MemberEntries& member, HANDLE file, const DecodeCancel* cancel,
                           DecodeReport& report);
// The same into memory, for small members: out holds what the last entry
// that decoded cleanly gave (empty when none did). Not cancellable: meant
// for members that decode in a moment.
void DecodeEntriesToMemory(const MemberEntries& member, std::vector<uint8_t>& out, DecodeReport& report);
// Shows the messages of the report's failures, in order.
void ShowDecodeReport(const DecodeReport& report, const WideString& sourcePath, const WideString& targetPath);

class PayloadArchive {
 public:
  PayloadArchive();
  ~PayloadArchive();
  PayloadArchive(const PayloadArchive&) = delete;
  PayloadArchive& operator=(const PayloadArchive&) = delete;

  // Reads the payload resource of the running executable. Never fails
  // outright: a missing resource or a damaged archive leaves no entries. A
  // damaged archive (wrong file checksum, unreachable directory) shows "This
  // installation is corrupted, please obtain a new copy."; a resource that
  // is no archive at all shows nothing.
  void Open();
  // The same for the payload resource of another loaded module (an image
  // loaded as data file will do).
  void OpenFromModule(HMODULE module);
  // The same for an archive held in memory; the memory must outlive the
  // archive (or the next Open/Close).
  void OpenFromMemory(const void* data, size_t size);
  // Forgets the entries and the data. Never waits long for an extraction
  // under way on another thread (one suspended or stuck on a message box):
  // that extraction keeps what it uses and finds no entries afterwards.
  void Close();

  // True when some entry has the name; the first such entry (directory
  // order) is copied to copy when given (cleared first).
  bool Find(const WideString& name, PayloadEntry* copy = nullptr) const;
  // Extracts every entry with the name to targetPath, in directory order,
  // so the last one that extracts cleanly wins. A packed-sum mismatch is
  // skipped silently (the target is not created); decoding failures show the
  // decoder's message. True when at least one entry was extracted.
  // Serialised: callable from several threads.
  bool ExtractTo(const WideString& name, const WideString& targetPath);
  // The name of the entry at the 0-based index; empty when index >= Count().
  WideString NameAt(int index) const;
  int Count() const { return static_cast<int>(entries_.size()); }
  // The unpacked size stated by the first entry with the name; 0 when none.
  uint32_t UnpackedSizeOf(const WideString& name) const;
  // Copies the entries with the name (directory order) into member; false
  // when there is none. Serialised with ExtractTo.
  bool CollectEntries(const WideString& name, MemberEntries& member);
  // The file the archive was read from (the executable or the module); the
  // running executable for an archive in memory.
  const WideString& SourcePath() const { return sourcePath_; }

 private:
  // checksum: the archive's sum when the caller has taken it (see
  // ReadArchiveDirectory), else null.
  void OpenBytes(const void* data, size_t size, const WideString& sourcePath, const uint32_t* checksum);
  int IndexOf(const WideString& name, int start) const;

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  WideString sourcePath_;
  std::vector<PayloadEntry> entries_;
  std::vector<WideString> names_;  // the entries' names, converted once
  // The entries' positions ordered by name (ASCII letters folded), then by
  // position: a lookup by name takes a binary search, not a pass over every
  // entry.
  std::vector<int> byName_;
  std::shared_ptr<SolidBlocks> blocks_;
  MutexLock extractLock_;
};
