#include "payload/win/payload_archive.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "app/install_state.h"
#include "payload/archive_format.h"
#include "payload/win/decompress_file.h"
#include "util/win/disk_file.h"
#include "util/win/message_door.h"
#include "util/win/temp_names.h"

WideString PayloadEntry::Name() const {
  return WideString::FromAnsi(name, static_cast<int>(strnlen(name, sizeof(name))));
}

namespace {

// How long Close lets an extraction under way finish.
constexpr DWORD kCloseWaitMs = 1000;

// Entry lists that a stuck extraction may still refer to, kept for the
// rest of the process (moving a list keeps its elements where they are).
std::vector<std::vector<PayloadEntry>>& EntriesLeftToExtractions() {
  static std::vector<std::vector<PayloadEntry>> kept;
  return kept;
}

}  // namespace

PayloadArchive::PayloadArchive() { extractLock_.Create(); }

PayloadArchive::~PayloadArchive() { Close(); }

void PayloadArchive::Open() { OpenFromModule(GetModuleHandleW(nullptr)); }

void PayloadArchive::OpenFromModule(HMODULE module) {
  Close();
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(kPayloadResourceId), MAKEINTRESOURCEW(10));
  if (resource == nullptr) return;
  HGLOBAL loaded = LoadResource(module, resource);
  if (loaded == nullptr) return;
  const void* data = LockResource(loaded);
  if (data == nullptr) return;
  OpenFromMemory(data, SizeofResource(module, resource));
}

void PayloadArchive::OpenFromMemory(const void* data, size_t size) {
  Close();
  std::vector<ArchiveEntryInfo> infos;
  const ArchiveReadStatus status = ReadArchiveDirectory(static_cast<const uint8_t*>(data), size, infos);
  if (IsArchiveCorrupted(status)) {
    ShowMessage(nullptr, WideString(u"This installation is corrupted, please obtain a new copy."),
                State().InstallerTitle, MB_ICONERROR);
  }
  if (status != ArchiveReadStatus::Ok) return;

  data_ = static_cast<const uint8_t*>(data);
  size_ = size;
  entries_.reserve(infos.size());
  for (const ArchiveEntryInfo& info : infos) {
    PayloadEntry entry;
    entry.dataOffset = info.dataOffset;
    entry.packedSize = info.packedSize;
    entry.unpackedSize = info.unpackedSize;
    entry.packedSum = info.packedSum;
    entry.nameLength = static_cast<uint8_t>(std::min<size_t>(info.name.size() + 1, 255));
    std::memcpy(entry.name, info.name.data(), std::min(info.name.size(), sizeof(entry.name) - 1));
    entries_.push_back(entry);
  }
}

void PayloadArchive::Close() {
  // An extraction that does not end soon belongs to a worker that was
  // suspended after its stop time-out or that waits on the decoder's error
  // box: closing does not wait for it. What it uses - the entries it refers
  // to and its lock - is left to it rather than freed under it; the data
  // itself is the caller's.
  if (extractLock_.LockWithin(kCloseWaitMs)) {
    entries_.clear();
    extractLock_.Unlock();
  } else {
    EntriesLeftToExtractions().push_back(std::move(entries_));
    entries_.clear();
    extractLock_.Abandon();
  }
  data_ = nullptr;
  size_ = 0;
}

int PayloadArchive::IndexOf(const WideString& name, int start) const {
  for (int i = start; i < Count(); ++i) {
    if (entries_[i].Name().Equals(name, true)) return i;
  }
  return -1;
}

bool PayloadArchive::Find(const WideString& name, PayloadEntry* copy) const {
  if (copy != nullptr) *copy = PayloadEntry();
  const int index = IndexOf(name, 0);
  if (index < 0) return false;
  if (copy != nullptr) *copy = entries_[index];
  return true;
}

bool PayloadArchive::ExtractTo(const WideString& name, const WideString& targetPath) {
  MutexGuard guard(extractLock_);
  bool extracted = false;
  for (int i = IndexOf(name, 0); i >= 0; i = IndexOf(name, i + 1)) {
    try {
      if (ExtractEntry(entries_[i], targetPath)) extracted = true;
    } catch (const std::bad_alloc&) {
      // Out of memory before the decoder got the member: as when the
      // decoder runs out itself.
      ShowUncompressWriteError(targetPath);
    }
  }
  return extracted;
}

bool PayloadArchive::ExtractEntry(const PayloadEntry& entry, const WideString& targetPath) {
  // The directory reader has checked that the packed data lies in the data.
  const uint8_t* packed = data_ + entry.dataOffset;
  // Damaged packed data is left to the caller to report.
  if (PackedSum(packed, entry.packedSize) != entry.packedSum) return false;

  // The name is kept even when the file could not be made, so whatever was
  // reserved under it is deleted below.
  WideString packedPath;
  MakeTempFileName(packedPath, "Ext");
  bool extracted = false;
  {
    DiskFile file;
    if (file.Open(packedPath, GENERIC_WRITE, CREATE_ALWAYS, false) && file.Write(packed, entry.packedSize)) {
      file.Close();
      extracted = DecompressFile(packedPath, targetPath);
    }
  }
  DeleteTempFile(packedPath);
  return extracted;
}

WideString PayloadArchive::NameAt(int index) const {
  if (index < 0 || index >= Count()) return WideString();
  return entries_[index].Name();
}

uint32_t PayloadArchive::UnpackedSizeOf(const WideString& name) const {
  const int index = IndexOf(name, 0);
  return index < 0 ? 0 : entries_[index].unpackedSize;
}
