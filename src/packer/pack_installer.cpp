#include "packer/pack_installer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <numeric>

#include "packer/parallel_for.h"
#include "packer/script_members.h"
#include "packer/sha256.h"
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
  const ProbeVerdict verdict = ProbeMember(data, size, kStoreBelowSaving, options.x86Filter ? kX86ProbeGain : 0);
  if (verdict.store) return StoreMember(data, size, out);
  LzmaOptions chosen = options;
  chosen.x86Filter = verdict.x86Filter;
  if (!CompressLzmaAlone(data, size, chosen, out)) return false;
  if (chosen.x86Filter) MarkX86Stream(out);
  // Stored, too, when the whole member saves less than a hundredth:
  // decoding such a stream costs far more than reading the few bytes more.
  if (out.size() <= size - size / kStoreBelowSaving) return true;
  return StoreMember(data, size, out);
}

std::vector<size_t> FirstWithSameContent(const std::vector<PackSource>& sources, unsigned threads) {
  const size_t n = sources.size();
  std::vector<size_t> first(n);
  std::iota(first.begin(), first.end(), size_t(0));
  // Only members whose size another member shares can be the same; those
  // are told apart by their digest and then byte for byte.
  std::vector<size_t> bySize(n);
  std::iota(bySize.begin(), bySize.end(), size_t(0));
  std::stable_sort(bySize.begin(), bySize.end(),
                   [&](size_t a, size_t b) { return sources[a].data.size() < sources[b].data.size(); });
  std::vector<size_t> candidates;
  for (size_t k = 0; k < n; ++k) {
    const size_t size = sources[bySize[k]].data.size();
    if (size == 0) continue;  // an empty member has no data to share
    const bool sizeShared = (k > 0 && sources[bySize[k - 1]].data.size() == size) ||
                            (k + 1 < n && sources[bySize[k + 1]].data.size() == size);
    if (sizeShared) candidates.push_back(bySize[k]);
  }
  std::vector<std::array<uint8_t, 32>> digests(candidates.size());
  ParallelFor(candidates.size(), std::max(1u, threads), [&](size_t k) {
    const std::vector<uint8_t>& data = sources[candidates[k]].data;
    Sha256 sha;
    sha.Update(data.data(), data.size());
    digests[k] = sha.Finish();
  });
  std::vector<size_t> order(candidates.size());
  std::iota(order.begin(), order.end(), size_t(0));
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const size_t sa = sources[candidates[a]].data.size(), sb = sources[candidates[b]].data.size();
    if (sa != sb) return sa < sb;
    if (digests[a] != digests[b]) return digests[a] < digests[b];
    return candidates[a] < candidates[b];
  });
  for (size_t k = 1; k < order.size(); ++k) {
    const size_t a = candidates[order[k - 1]], b = candidates[order[k]];
    const std::vector<uint8_t>& da = sources[a].data;
    const std::vector<uint8_t>& db = sources[b].data;
    if (da.size() == db.size() && digests[order[k - 1]] == digests[order[k]] &&
        std::memcmp(da.data(), db.data(), da.size()) == 0) {
      first[b] = first[a];
    }
  }
  return first;
}

namespace {

// Whether a member reads as text: at most one in a hundred of its first
// 4 KiB are control characters other than tab, line breaks, form feed and
// escape. Programs, images and other binary data hold far more (zero bytes
// above all).
bool LooksLikeText(const std::vector<uint8_t>& data) {
  const size_t n = std::min<size_t>(data.size(), 4096);
  size_t control = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t b = data[i];
    if (b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != 0x1B) ++control;
  }
  return control * 100 <= n;
}

// The small members that go into solid blocks: each block's members, none
// alone in a block. Only members that compress (the probe does not store
// them) and that have data of their own. Text and binary members go into
// blocks of their own, each kind in member order: a block of one kind packs
// smaller than the two mixed, and the branch filter's probe then judges a
// block of programs alone. The install takes the two kinds side by side, one
// block of each, within the blocks it holds decoded. The blocks are listed
// by their first member, so the archive holds them in about install order.
// The small members the probe stores are marked in *probedStored (indexed
// by source), so that they are not probed again.
std::vector<std::vector<size_t>> SolidGroups(const std::vector<PackSource>& sources,
                                             const std::vector<size_t>& first, unsigned threads,
                                             std::vector<char>* probedStored) {
  std::vector<size_t> small;
  for (size_t i = 0; i < sources.size(); ++i) {
    const size_t size = sources[i].data.size();
    if (first[i] == i && size > 0 && size <= kSolidMemberMax) small.push_back(i);
  }
  std::vector<char> compresses(small.size(), 0);
  ParallelFor(small.size(), std::max(1u, threads), [&](size_t k) {
    const std::vector<uint8_t>& data = sources[small[k]].data;
    compresses[k] = !StoreWithoutCompressing(data.data(), data.size(), kStoreBelowSaving);
  });
  std::vector<std::vector<size_t>> groups;
  std::vector<size_t> filling[2];  // text, binary
  uint64_t bytes[2] = {0, 0};
  auto close = [&](int kind) {
    if (filling[kind].size() >= 2) groups.push_back(std::move(filling[kind]));
    filling[kind] = {};
    bytes[kind] = 0;
  };
  for (size_t k = 0; k < small.size(); ++k) {
    if (!compresses[k]) {
      (*probedStored)[small[k]] = 1;
      continue;
    }
    const std::vector<uint8_t>& data = sources[small[k]].data;
    const int kind = LooksLikeText(data) ? 0 : 1;
    if (!filling[kind].empty() && bytes[kind] + data.size() > kSolidBlockBytes) close(kind);
    filling[kind].push_back(small[k]);
    bytes[kind] += data.size();
  }
  close(0);
  close(1);
  std::sort(groups.begin(), groups.end(),
            [](const std::vector<size_t>& a, const std::vector<size_t>& b) { return a.front() < b.front(); });
  return groups;
}

}  // namespace

bool CompressMembers(const std::vector<PackSource>& sources, const PackSettings& settings,
                     std::vector<PackedMember>* members, std::string* error,
                     std::vector<std::vector<uint8_t>>* blocks) {
  members->assign(sources.size(), PackedMember{});
  if (blocks != nullptr) blocks->clear();
  for (size_t i = 0; i < sources.size(); ++i) {
    if (uint64_t(sources[i].data.size()) >= 0xFFFFFFFFull) {
      *error = "member '" + Cp1252ToUtf8(sources[i].name) + "' is 4 GiB or larger";
      return false;
    }
  }
  const std::vector<size_t> first = FirstWithSameContent(sources, settings.threads);
  for (size_t i = 0; i < sources.size(); ++i) {
    PackedMember& member = (*members)[i];
    member.name = sources[i].name;
    member.unpackedSize = uint32_t(sources[i].data.size());
    if (first[i] != i) member.sameDataAs = first[i];
  }
  // The work: every member with data of its own that is in no block, and
  // each block's bytes, the members' back to back.
  struct Job {
    size_t member = 0;  // for a block: its index in groups
    bool block = false;
    std::vector<uint8_t> joined;
    size_t Size(const std::vector<PackSource>& all) const { return block ? joined.size() : all[member].data.size(); }
  };
  std::vector<std::vector<size_t>> groups;
  std::vector<char> probedStored(sources.size(), 0);
  if (blocks != nullptr && settings.solidBlocks) groups = SolidGroups(sources, first, settings.threads, &probedStored);
  std::vector<bool> inBlock(sources.size(), false);
  std::vector<Job> jobs;
  for (size_t g = 0; g < groups.size(); ++g) {
    Job job;
    job.member = g;
    job.block = true;
    for (size_t i : groups[g]) {
      PackedMember& member = (*members)[i];
      member.solidBlock = g;
      member.solidStart = uint32_t(job.joined.size());
      job.joined.insert(job.joined.end(), sources[i].data.begin(), sources[i].data.end());
      inBlock[i] = true;
    }
    jobs.push_back(std::move(job));
  }
  for (size_t i = 0; i < sources.size(); ++i) {
    if (first[i] == i && !inBlock[i]) jobs.push_back(Job{i, false, {}});
  }
  if (blocks != nullptr) blocks->assign(groups.size(), {});
  // Largest first, so one big member does not start last and run alone.
  std::vector<size_t> order(jobs.size());
  std::iota(order.begin(), order.end(), size_t(0));
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return jobs[a].Size(sources) > jobs[b].Size(sources); });
  std::atomic<bool> failed{false};
  ParallelFor(order.size(), std::max(1u, settings.threads), [&](size_t k) {
    Job& job = jobs[order[k]];
    if (failed) return;
    const std::vector<uint8_t>& data = job.block ? job.joined : sources[job.member].data;
    std::vector<uint8_t>& packed = job.block ? (*blocks)[job.member] : (*members)[job.member].packed;
    LzmaOptions options = settings.lzma;
    options.dictionarySize = DictionaryFor(data.size(), options.dictionarySize);
    // A small member the blocks' probe found incompressible is stored, as
    // PackMemberData would after probing it again.
    const bool packedOk = !job.block && probedStored[job.member] ? StoreMember(data.data(), data.size(), packed)
                                                                 : PackMemberData(data.data(), data.size(), options, packed);
    if (!packedOk) {
      failed = true;
      return;
    }
    if (settings.memberDone) settings.memberDone(data.size());
    job.joined = {};
  });
  if (settings.memberDone) {
    for (size_t i = 0; i < sources.size(); ++i) {
      if (first[i] != i) settings.memberDone(sources[i].data.size());
    }
  }
  if (failed) {
    *error = "the LZMA encoder failed (out of memory?)";
    members->clear();
    if (blocks != nullptr) blocks->clear();
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
  std::vector<std::vector<uint8_t>> blocks;
  if (!CompressMembers(sources, settings, &members, error, &blocks)) return false;
  switch (WriteArchive(members, *archive, blocks)) {
    case ArchiveWriteStatus::Ok: return true;
    case ArchiveWriteStatus::TooLarge: *error = "the archive would reach 4 GiB"; return false;
    case ArchiveWriteStatus::BadSameData: *error = "a member shares the data of no earlier member"; return false;
    case ArchiveWriteStatus::BadSolidBlock: *error = "a member lies in no solid block"; return false;
    default: *error = "a member name cannot be stored"; return false;
  }
}

bool PackInstaller(const uint8_t* stub, size_t stubSize, const std::vector<PackSource>& sources,
                   const PackSettings& settings, std::vector<uint8_t>* out, std::string* error) {
  out->clear();
  std::vector<uint8_t> archive;
  return PackArchive(sources, settings, &archive, error) && EmbedArchive(stub, stubSize, archive, out, error);
}
