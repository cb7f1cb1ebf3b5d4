#include "packer/pack_installer.h"

#include <algorithm>
#include <atomic>
#include <numeric>

#include "packer/parallel_for.h"
#include "packer/script_members.h"
#include "packer/store_probe.h"
#include "pe/installer_image.h"

uint32_t DictionaryFor(uint64_t memberSize, uint32_t dictionarySize) {
  // 2^n or 2^n + 2^(n-1), the sizes every LZMA decoder names the same way.
  uint32_t size = 4096;
  while (size < memberSize && size < dictionarySize) {
    uint32_t half = size / 2;
    uint32_t next = (size & (size - 1)) == 0 ? size + half : (size / 3) * 4;
    if (next <= size) break;
    size = next;
  }
  return std::min(size, dictionarySize);
}

bool PackMemberData(const uint8_t* data, size_t size, const LzmaOptions& options, std::vector<uint8_t>& out) {
  if (StoreWithoutCompressing(data, size, kStoreBelowSaving)) return StoreMember(data, size, out);
  if (!CompressLzmaAlone(data, size, options, out)) return false;
  // Stored, too, when the whole member saves less than a hundredth:
  // decoding such a stream costs far more than reading the few bytes more.
  if (out.size() <= size - size / kStoreBelowSaving) return true;
  return StoreMember(data, size, out);
}

bool CompressMembers(const std::vector<PackSource>& sources, const PackSettings& settings,
                     std::vector<PackedMember>* members, std::string* error) {
  members->assign(sources.size(), PackedMember{});
  for (size_t i = 0; i < sources.size(); ++i) {
    if (uint64_t(sources[i].data.size()) >= 0xFFFFFFFFull) {
      *error = "member '" + Cp1252ToUtf8(sources[i].name) + "' is 4 GiB or larger";
      return false;
    }
  }
  // Largest first, so one big member does not start last and run alone.
  std::vector<size_t> order(sources.size());
  std::iota(order.begin(), order.end(), size_t(0));
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return sources[a].data.size() > sources[b].data.size(); });
  std::atomic<bool> failed{false};
  ParallelFor(order.size(), std::max(1u, settings.threads), [&](size_t k) {
    size_t i = order[k];
    if (failed) return;
    PackedMember& member = (*members)[i];
    member.name = sources[i].name;
    member.unpackedSize = uint32_t(sources[i].data.size());
    LzmaOptions options = settings.lzma;
    options.dictionarySize = DictionaryFor(sources[i].data.size(), options.dictionarySize);
    if (!PackMemberData(sources[i].data.data(), sources[i].data.size(), options, member.packed)) {
      failed = true;
      return;
    }
    if (settings.memberDone) settings.memberDone(sources[i].data.size());
  });
  if (failed) {
    *error = "the LZMA encoder failed (out of memory?)";
    members->clear();
    return false;
  }
  return true;
}

bool EmbedArchive(const uint8_t* stub, size_t stubSize, const std::vector<uint8_t>& archive,
                  std::vector<uint8_t>* out, std::string* error) {
  InstallerImage image;
  PeStatus status = image.Prepare(stub, stubSize, kPayloadResourceId);
  if (status == PeStatus::Ok) status = image.Finish(archive.data(), archive.size(), image.Uninstaller(), out);
  if (status != PeStatus::Ok) {
    *error = std::string("stub: ") + PeStatusText(status);
    return false;
  }
  return true;
}

bool PackArchive(const std::vector<PackSource>& sources, const PackSettings& settings, std::vector<uint8_t>* archive,
                 std::string* error) {
  archive->clear();
  for (const PackSource& source : sources) {
    if (source.name.empty() || source.name.size() > kMaxMemberNameBytes ||
        source.name.find('\0') != std::string::npos) {
      *error = "member name '" + Cp1252ToUtf8(source.name) + "' is empty, longer than 254 bytes or holds a zero byte";
      return false;
    }
  }
  std::vector<PackedMember> members;
  if (!CompressMembers(sources, settings, &members, error)) return false;
  switch (WriteArchive(members, *archive)) {
    case ArchiveWriteStatus::Ok: return true;
    case ArchiveWriteStatus::TooLarge: *error = "the archive would reach 4 GiB"; return false;
    default: *error = "a member name cannot be stored"; return false;
  }
}

bool PackInstaller(const uint8_t* stub, size_t stubSize, const std::vector<PackSource>& sources,
                   const PackSettings& settings, std::vector<uint8_t>* out, std::string* error) {
  out->clear();
  std::vector<uint8_t> archive;
  return PackArchive(sources, settings, &archive, error) && EmbedArchive(stub, stubSize, archive, out, error);
}
