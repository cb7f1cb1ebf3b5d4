#pragma once
// The payload archive of the installer: RT_RCDATA resource 24356 of the
// executable, read in place from the mapped image. Members are looked up by
// name (ANSI names, compared folding only the ASCII letters) and extracted
// to files.

#include <cstddef>
#include <cstdint>
#include <vector>

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

 private:
  int IndexOf(const WideString& name, int start) const;
  bool ExtractEntry(const PayloadEntry& entry, const WideString& targetPath);

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  std::vector<PayloadEntry> entries_;
  MutexLock extractLock_;
};
