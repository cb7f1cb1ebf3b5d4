#include "payload/win/payload_archive.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "app/install_state.h"
#include "payload/archive_format.h"
#include "payload/lzma_alone.h"
#include "payload/member_method.h"
#include "payload/win/image_file_sum.h"
#include "util/win/message_door.h"
#include "util/win/process_paths.h"

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

// The file a module was loaded from; the running executable when the module
// does not tell (an image loaded as data file may not).
WideString ModuleFilePath(HMODULE module) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return ModulePath();
    if (n < buffer.size()) return WideString(buffer.data());
    buffer.resize(buffer.size() * 2);
  }
}

// The packed bytes of an entry as the decoders take them: its own, or for
// a slice of a solid block the slice in the stored form (held in holder).
// A failure when the block cannot give the slice.
DecodeFailure PackedBytesOf(const uint8_t* data, SolidBlocks* blocks, const PayloadEntry& entry,
                            std::vector<uint8_t>& holder, const uint8_t** packed, size_t* size) {
  // The directory reader has checked that the packed data lies in the data.
  *packed = data + entry.dataOffset;
  *size = entry.packedSize;
  if (MethodOf(*packed, *size) != MemberMethod::Solid) return DecodeFailure::None;
  SolidReference where;
  if (blocks == nullptr || !ReadSolidReference(*packed, *size, &where)) return DecodeFailure::Read;
  const DecodeFailure failure = blocks->StoredFormOf(where, holder);
  *packed = holder.data();
  *size = holder.size();
  return failure;
}

// Decodes one entry straight from the archive's bytes. skipped is set (and
// nothing done) when the packed bytes do not match their sum: damaged data
// is left to the caller to report.
DecodeFailure DecodeEntry(const uint8_t* data, SolidBlocks* blocks, const PayloadEntry& entry,
                          const WideString& targetPath, const DecodeCancel* cancel, bool* skipped,
                          DecodeTarget mode = DecodeTarget::Replace) {
  *skipped = PackedSum(data + entry.dataOffset, entry.packedSize) != entry.packedSum;
  if (*skipped) return DecodeFailure::None;
  std::vector<uint8_t> holder;
  const uint8_t* packed = nullptr;
  size_t size = 0;
  const DecodeFailure failure = PackedBytesOf(data, blocks, entry, holder, &packed, &size);
  if (failure != DecodeFailure::None) return failure;
  return DecodeMemoryToFile(packed, size, targetPath, cancel, mode);
}

// Decodes the member's entries in directory order with decodeOne(entry,
// packed bytes, their size), which gives that entry's failure; an entry
// whose packed bytes do not match their sum is skipped without one. Stops
// at the first Cancelled.
template <typename DecodeOne>
void DecodeEach(const MemberEntries& member, DecodeReport& report, DecodeOne decodeOne) {
  for (const PayloadEntry& entry : member.entries) {
    if (PackedSum(member.data + entry.dataOffset, entry.packedSize) != entry.packedSum) continue;
    std::vector<uint8_t> holder;
    const uint8_t* packed = nullptr;
    size_t size = 0;
    DecodeFailure failure = PackedBytesOf(member.data, member.blocks.get(), entry, holder, &packed, &size);
    if (failure == DecodeFailure::None) failure = decodeOne(entry, packed, size);
    if (failure == DecodeFailure::Cancelled) {
      report.cancelled = true;
      return;
    }
    if (failure == DecodeFailure::None) {
      report.extracted = true;
    } else {
      report.failures.push_back(failure);
    }
  }
}

}  // namespace

uint64_t MemberEntries::DeclaredSize() const {
  uint64_t total = 0;
  for (const PayloadEntry& entry : entries) {
    uint64_t declared = 0;
    if (StatedMemberSize(data + entry.dataOffset, entry.packedSize, &declared)) total += declared;
  }
  return total;
}

void DecodeEntries(const MemberEntries& member, const WideString& targetPath, const DecodeCancel* cancel,
                   DecodeReport& report, bool scratch) {
  // With several entries a later failing one must leave what an earlier one
  // decoded: only a lone entry goes straight into a scratch file.
  const DecodeTarget mode =
      scratch && member.entries.size() == 1 ? DecodeTarget::Scratch : DecodeTarget::Replace;
  DecodeEach(member, report, [&](const PayloadEntry&, const uint8_t* packed, size_t size) {
    return DecodeMemoryToFile(packed, size, targetPath, cancel, mode);
  });
}

void DecodeEntriesToHandle(const MemberEntries& member, HANDLE file, const DecodeCancel* cancel,
                           DecodeReport& report) {
  const PayloadEntry* clean = nullptr;
  bool lastClean = false;
  DecodeEach(member, report, [&](const PayloadEntry& entry, const uint8_t* packed, size_t size) {
    const DecodeFailure failure = DecodeMemoryToHandle(packed, size, file, cancel);
    lastClean = failure == DecodeFailure::None;
    if (lastClean) clean = &entry;
    return failure;
  });
  if (clean == nullptr || lastClean || report.cancelled) return;
  // A failed entry wrote over the clean one: the file holds that again.
  std::vector<uint8_t> holder;
  const uint8_t* packed = nullptr;
  size_t size = 0;
  DecodeFailure again = PackedBytesOf(member.data, member.blocks.get(), *clean, holder, &packed, &size);
  if (again == DecodeFailure::None) again = DecodeMemoryToHandle(packed, size, file, cancel);
  if (again == DecodeFailure::None) return;
  if (again == DecodeFailure::Cancelled) {
    report.cancelled = true;
  } else {
    report.failures.push_back(again);
  }
  report.extracted = false;
}

void DecodeEntriesToMemory(const MemberEntries& member, std::vector<uint8_t>& out, DecodeReport& report) {
  out.clear();
  std::vector<uint8_t> decoded;
  DecodeEach(member, report, [&](const PayloadEntry&, const uint8_t* packed, size_t size) {
    // As for a file: running out of memory is the write failure, anything
    // else wrong with the stream the read failure. No bytes at all are an
    // empty member.
    DecodeFailure failure = DecodeFailure::Write;
    try {
      switch (DecodeMemberToMemory(packed, size, decoded)) {
        case LzmaDecodeStatus::Ok: failure = DecodeFailure::None; break;
        case LzmaDecodeStatus::MemoryError:
        case LzmaDecodeStatus::SinkFailed: break;
        default: failure = DecodeFailure::Read; break;
      }
    } catch (const std::bad_alloc&) {
      decoded.clear();
    }
    // The last entry that decodes cleanly is the member.
    if (failure == DecodeFailure::None) out.swap(decoded);
    return failure;
  });
}

void ShowDecodeReport(const DecodeReport& report, const WideString& sourcePath, const WideString& targetPath) {
  for (DecodeFailure failure : report.failures) ShowDecodeFailure(failure, sourcePath, targetPath);
}

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
  const size_t size = SizeofResource(module, resource);
  const WideString file = ModuleFilePath(module);
  // A module loaded as a data file is not laid out as an image (its handle
  // tells by its low bits): its bytes are summed where they are.
  const auto base = reinterpret_cast<uintptr_t>(module);
  uint32_t checksum = 0;
  const bool summed = (base & 3) == 0 && ArchiveChecksumFromFile(file, reinterpret_cast<const uint8_t*>(base),
                                                                  static_cast<const uint8_t*>(data), size, &checksum);
  OpenBytes(data, size, file, summed ? &checksum : nullptr);
}

void PayloadArchive::OpenFromMemory(const void* data, size_t size) { OpenBytes(data, size, ModulePath(), nullptr); }

void PayloadArchive::OpenBytes(const void* data, size_t size, const WideString& sourcePath,
                               const uint32_t* checksum) {
  Close();
  std::vector<ArchiveEntryInfo> infos;
  const ArchiveReadStatus status = ReadArchiveDirectory(static_cast<const uint8_t*>(data), size, infos, checksum);
  if (IsArchiveCorrupted(status)) {
    ShowMessage(nullptr, WideString(u"This installation is corrupted, please obtain a new copy."),
                State().InstallerTitle, MB_ICONERROR);
  }
  if (status != ArchiveReadStatus::Ok) return;

  data_ = static_cast<const uint8_t*>(data);
  size_ = size;
  sourcePath_ = sourcePath;
  blocks_ = std::make_shared<SolidBlocks>(data_, size_);
  entries_.reserve(infos.size());
  names_.reserve(infos.size());
  byName_.reserve(infos.size());
  for (const ArchiveEntryInfo& info : infos) {
    PayloadEntry entry;
    entry.dataOffset = info.dataOffset;
    entry.packedSize = info.packedSize;
    entry.unpackedSize = info.unpackedSize;
    entry.packedSum = info.packedSum;
    entry.nameLength = static_cast<uint8_t>(std::min<size_t>(info.name.size() + 1, 255));
    std::memcpy(entry.name, info.name.data(), std::min(info.name.size(), sizeof(entry.name) - 1));
    entries_.push_back(entry);
    names_.push_back(entry.Name());
    byName_.push_back(static_cast<int>(names_.size()) - 1);
  }
  std::sort(byName_.begin(), byName_.end(), [this](int a, int b) {
    const int order = names_[a].Compare(names_[b], true);
    return order != 0 ? order < 0 : a < b;
  });
}

void PayloadArchive::Close() {
  // An extraction that does not end soon belongs to a worker that was
  // suspended after its stop time-out or that waits on the decoder's error
  // box: closing does not wait for it. What it uses - the entries it refers
  // to and its lock - is left to it rather than freed under it; the data
  // itself is the caller's.
  if (extractLock_.LockWithin(kCloseWaitMs)) {
    entries_.clear();
    names_.clear();
    byName_.clear();
    extractLock_.Unlock();
  } else {
    EntriesLeftToExtractions().push_back(std::move(entries_));
    entries_.clear();
    names_.clear();
    byName_.clear();
    extractLock_.Abandon();
  }
  data_ = nullptr;
  size_ = 0;
  blocks_.reset();
  sourcePath_.Clear();
}

int PayloadArchive::IndexOf(const WideString& name, int start) const {
  // The first entry of the name at start or later.
  const auto at = std::lower_bound(byName_.begin(), byName_.end(), start, [this, &name](int index, int from) {
    const int order = names_[index].Compare(name, true);
    return order != 0 ? order < 0 : index < from;
  });
  if (at == byName_.end() || !names_[*at].Equals(name, true)) return -1;
  return *at;
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
      bool skipped = false;
      const DecodeFailure failure = DecodeEntry(data_, blocks_.get(), entries_[i], targetPath, nullptr, &skipped);
      if (skipped) continue;
      if (failure == DecodeFailure::None) extracted = true;
      ShowDecodeFailure(failure, sourcePath_, targetPath);
    } catch (const std::bad_alloc&) {
      // Out of memory before the decoder got the member: as when the
      // decoder runs out itself.
      ShowUncompressWriteError(targetPath);
    }
  }
  return extracted;
}

bool PayloadArchive::CollectEntries(const WideString& name, MemberEntries& member) {
  MutexGuard guard(extractLock_);
  member.data = data_;
  member.blocks = blocks_;
  member.sourcePath = sourcePath_;
  member.entries.clear();
  for (int i = IndexOf(name, 0); i >= 0; i = IndexOf(name, i + 1)) member.entries.push_back(entries_[i]);
  return !member.entries.empty();
}

WideString PayloadArchive::NameAt(int index) const {
  if (index < 0 || index >= Count()) return WideString();
  return names_[index];
}

uint32_t PayloadArchive::UnpackedSizeOf(const WideString& name) const {
  const int index = IndexOf(name, 0);
  return index < 0 ? 0 : entries_[index].unpackedSize;
}
