#include "pe/installer_image.h"

#include <algorithm>
#include <cstring>

#include "pe/resource_tree.h"
#include "pe/section_plan.h"

namespace {

constexpr uint64_t kFourGiB = 1ull << 32;
constexpr uint32_t kInitializedData = 0x00000040;
constexpr uint32_t kDataEntrySize = 16;
// Differences closer than a patch's own header are stored as one patch.
constexpr uint32_t kPatchGap = 8;

uint64_t AlignUp(uint64_t value, uint64_t alignment) { return (value + alignment - 1) / alignment * alignment; }

// Sorts the ranges and joins those that overlap or lie within kPatchGap.
std::vector<RecipeRange> Joined(std::vector<RecipeRange> ranges) {
  std::sort(ranges.begin(), ranges.end(),
            [](const RecipeRange& a, const RecipeRange& b) { return a.offset < b.offset; });
  std::vector<RecipeRange> joined;
  for (const RecipeRange& range : ranges) {
    if (range.length == 0) continue;
    if (!joined.empty() && uint64_t(joined.back().offset) + joined.back().length + kPatchGap >= range.offset) {
      uint64_t end = std::max<uint64_t>(uint64_t(joined.back().offset) + joined.back().length,
                                        uint64_t(range.offset) + range.length);
      joined.back().length = uint32_t(end - joined.back().offset);
    } else {
      joined.push_back(range);
    }
  }
  return joined;
}

}  // namespace

PeStatus InstallerImage::Prepare(const uint8_t* stub, size_t stubSize, uint16_t payloadId, const ResourceEdit& edit) {
  *this = InstallerImage{};
  MemorySource source(stub, stubSize);
  PeHeaders h;
  PeStatus status = ReadPeHeaders(source, &h);
  if (status != PeStatus::Ok) return status;
  PeDirectory security = h.Directory(kDirectorySecurity);
  if (security.rva != 0 || security.size != 0) return PeStatus::Signed;
  if (h.directories.size() <= size_t(kDirectorySecurity)) return PeStatus::Unsupported;
  TrailingSymbols symbols;
  if ((status = FindTrailingSymbols(stub, stubSize, h, &symbols)) != PeStatus::Ok) return status;

  ResourceTree tree;
  if ((status = ReadResourceTree(source, h, true, &tree)) != PeStatus::Ok) return status;
  if (edit && (status = edit(&tree)) != PeStatus::Ok) return status;
  tree.Remove(kResourceTypeRcData, payloadId);
  tree.Remove(kResourceTypeRcData, kUninstallerRecipeResourceId);
  // The two must be the last names of their type: the uninstaller hides
  // them by counting two names fewer.
  if (payloadId >= kUninstallerRecipeResourceId) return PeStatus::Unsupported;
  for (const ResourceType& type : tree.types) {
    if (!(type.type == ResourceKey::Id(kResourceTypeRcData))) continue;
    for (const ResourceName& name : type.names) {
      if (!name.name.isName && name.name.id > kUninstallerRecipeResourceId) return PeStatus::Unsupported;
    }
  }
  tree.Set(kResourceTypeRcData, payloadId, kLanguageNeutral, nullptr, 0);
  tree.Set(kResourceTypeRcData, kUninstallerRecipeResourceId, kLanguageNeutral, nullptr, 0);
  for (ResourceType& type : tree.types) {
    if (!(type.type == ResourceKey::Id(kResourceTypeRcData))) continue;
    for (ResourceName& name : type.names) {
      if (name.name == ResourceKey::Id(payloadId) || name.name == ResourceKey::Id(kUninstallerRecipeResourceId)) {
        name.languages.front().deferred = true;
      }
    }
  }

  TrailingResourcePlan plan;
  if (!PlanTrailingResourceSection(stub, stubSize, h, &plan)) return PeStatus::Unsupported;
  if (plan.resourceRva >= kFourGiB) return PeStatus::TooLarge;
  std::vector<uint8_t> body;
  std::vector<DeferredLeaf> deferred;
  if ((status = BuildResourceSection(tree, uint32_t(plan.resourceRva), &body, &deferred)) != PeStatus::Ok) {
    return status;
  }
  tree = ResourceTree{};
  const uint64_t rawSize = AlignUp(body.size(), h.fileAlignment);
  const uint64_t total = plan.resourceRaw + rawSize;
  if (total >= kFourGiB || plan.resourceRva + body.size() >= kFourGiB || deferred.size() != 2 ||
      deferred[1].dataEntry != deferred[0].dataEntry + kDataEntrySize) {
    return PeStatus::TooLarge;
  }

  std::vector<uint8_t> image(size_t(total), 0);
  uint8_t* o = image.data();
  std::memcpy(o, stub, size_t(std::min<uint64_t>(plan.keptBytes, stubSize)));
  for (const TrailingResourcePlan::Moved& move : plan.moved) {
    const PeSection& s = h.sections[move.index];
    if (s.sizeOfRawData != 0) std::memcpy(o + move.raw, stub + s.pointerToRawData, s.sizeOfRawData);
  }
  std::memcpy(o + plan.resourceRaw, body.data(), body.size());

  // The section table: the moved sections' headers as they were, at their
  // new slots and places; then the resource section's.
  for (const TrailingResourcePlan::Moved& move : plan.moved) {
    uint8_t* header = o + h.SectionHeaderOffset(move.slot);
    std::memcpy(header, stub + h.SectionHeaderOffset(move.index), kSectionHeaderSize);
    StoreU32(header + 12, uint32_t(move.rva));
    StoreU32(header + 20, uint32_t(move.raw));
  }
  uint8_t* header = o + h.SectionHeaderOffset(plan.resourceSlot);
  std::memset(header, 0, kSectionHeaderSize);
  if (plan.rebuilt) {
    std::memcpy(header, stub + h.SectionHeaderOffset(plan.resourceSlot - plan.moved.size()), 8);
  } else {
    std::memcpy(header, ".rsrc", 5);
  }
  StoreU32(header + 8, uint32_t(body.size()));
  StoreU32(header + 12, uint32_t(plan.resourceRva));
  StoreU32(header + 16, uint32_t(rawSize));
  StoreU32(header + 20, uint32_t(plan.resourceRaw));
  StoreU32(header + 36, plan.characteristics);
  StoreU16(o + h.NumberOfSectionsOffset(), uint16_t(plan.sectionCount));

  StoreU32(o + h.DirectoryEntryOffset(kDirectoryResource), uint32_t(plan.resourceRva));
  StoreU32(o + h.DirectoryEntryOffset(kDirectoryResource) + 4, uint32_t(body.size()));
  for (const TrailingResourcePlan::Moved& move : plan.moved) {
    const PeSection& s = h.sections[move.index];
    for (int d = 0; d < int(h.directories.size()); ++d) {
      uint32_t rva = h.directories[size_t(d)].rva;
      if (d == kDirectorySecurity || d == kDirectoryResource || rva == 0 || h.SectionOf(rva) != int(move.index)) continue;
      StoreU32(o + h.DirectoryEntryOffset(d), uint32_t(move.rva + (rva - s.virtualAddress)));
    }
  }

  uint64_t sizeOfImage = AlignUp(plan.resourceRva + body.size(), h.sectionAlignment);
  for (size_t i = 0; i < h.sections.size(); ++i) {
    bool placed = std::any_of(plan.moved.begin(), plan.moved.end(),
                              [&](const TrailingResourcePlan::Moved& m) { return m.index == i; });
    if (placed || (plan.rebuilt && i == plan.resourceSlot - plan.moved.size())) continue;
    const PeSection& s = h.sections[i];
    sizeOfImage = std::max(sizeOfImage, AlignUp(uint64_t(s.virtualAddress) + s.MemorySize(), h.sectionAlignment));
  }
  for (const TrailingResourcePlan::Moved& move : plan.moved) {
    sizeOfImage = std::max(sizeOfImage, AlignUp(move.rva + h.sections[move.index].MemorySize(), h.sectionAlignment));
  }
  StoreU32(o + h.SizeOfImageOffset(), uint32_t(sizeOfImage));

  initializedData_ = (plan.characteristics & kInitializedData) != 0;
  if (initializedData_) {
    uint64_t oldRaw = plan.rebuilt ? h.sections[plan.resourceSlot - plan.moved.size()].sizeOfRawData : 0;
    uint64_t initialized = uint64_t(h.sizeOfInitializedData) + rawSize;
    initialized = initialized >= oldRaw ? initialized - oldRaw : 0;
    StoreU32(o + h.SizeOfInitializedDataOffset(), uint32_t(std::min<uint64_t>(initialized, 0xFFFFFFFFu)));
  }
  // The uninstaller carries no symbol table; the installer keeps it.
  StoreU32(o + h.PointerToSymbolTableOffset(), 0);
  StoreU32(o + h.PointerToSymbolTableOffset() + 4, 0);
  if (symbols.present) {
    symbols_.assign(stub + symbols.start, stub + symbols.end);
    symbolCount_ = h.numberOfSymbols;
  }

  // The payload and the recipe hidden: two names fewer, zero data entries.
  nameCount_ = uint32_t(plan.resourceRaw + deferred[0].nameDirectory + 14);
  dataEntries_ = uint32_t(plan.resourceRaw + deferred[0].dataEntry);
  StoreU16(o + nameCount_, uint16_t(LoadU16(o + nameCount_) - 2));
  std::memset(o + dataEntries_, 0, 2 * kDataEntrySize);

  StoreU32(o + h.CheckSumOffset(), ComputePeChecksum(o, image.size(), h.CheckSumOffset()));

  MemorySource laidOut(image.data(), image.size());
  if ((status = ReadPeHeaders(laidOut, &headers_)) != PeStatus::Ok) return status;
  resourceHeader_ = h.SectionHeaderOffset(plan.resourceSlot);
  resourceRva_ = uint32_t(plan.resourceRva);
  resourceRaw_ = uint32_t(plan.resourceRaw);
  resourceBody_ = uint32_t(body.size());
  fixed_ = Joined({{h.SizeOfInitializedDataOffset(), 4},
                   {h.SizeOfImageOffset(), 4},
                   {h.CheckSumOffset(), 4},
                   {h.PointerToSymbolTableOffset(), 8},
                   {h.DirectoryEntryOffset(kDirectorySecurity), 8},
                   {h.DirectoryEntryOffset(kDirectoryResource) + 4, 4},
                   {resourceHeader_ + 8, 4},
                   {resourceHeader_ + 16, 4},
                   {nameCount_, 2},
                   {dataEntries_, 2 * kDataEntrySize}});
  uninstaller_ = std::move(image);
  return PeStatus::Ok;
}

PeStatus InstallerImage::Finish(const uint8_t* payload, size_t payloadSize, const std::vector<uint8_t>& uninstaller,
                                std::vector<uint8_t>* out) const {
  out->clear();
  if (uninstaller_.empty()) return PeStatus::Unsupported;
  if (uninstaller.size() > kMaxUninstallerSize) return PeStatus::TooLarge;

  // The recipe: the fixed fields, whatever else differs within the shared
  // length, and everything behind it.
  const uint32_t prefix = uint32_t(std::min(uninstaller_.size(), uninstaller.size()));
  std::vector<RecipeRange> ranges;
  for (const RecipeRange& range : fixed_) {
    if (range.offset < uninstaller.size()) {
      ranges.push_back({range.offset, uint32_t(std::min<uint64_t>(range.length, uninstaller.size() - range.offset))});
    }
  }
  for (uint32_t i = 0; i < prefix;) {
    if (uninstaller_[i] == uninstaller[i]) {
      ++i;
      continue;
    }
    uint32_t start = i;
    while (i < prefix && uninstaller_[i] != uninstaller[i]) ++i;
    ranges.push_back({start, i - start});
  }
  ranges.push_back({prefix, uint32_t(uninstaller.size() - prefix)});
  const std::vector<uint8_t> recipe = EncodeRecipe(uninstaller, prefix, Joined(ranges));

  const PeHeaders& h = headers_;
  // The payload starts where the uninstaller ends.
  const uint64_t payloadAt = AlignUp(resourceBody_, h.fileAlignment);
  const uint64_t recipeAt = AlignUp(payloadAt + payloadSize, 8);
  const uint64_t sectionSize = recipeAt + recipe.size();
  const uint64_t rawSize = AlignUp(sectionSize, h.fileAlignment);
  const uint64_t total = resourceRaw_ + rawSize + symbols_.size();
  if (resourceRva_ + sectionSize >= kFourGiB || total >= kFourGiB) return PeStatus::TooLarge;

  out->assign(size_t(total), 0);
  uint8_t* o = out->data();
  std::memcpy(o, uninstaller_.data(), uninstaller_.size());
  if (payloadSize != 0) std::memcpy(o + resourceRaw_ + payloadAt, payload, payloadSize);
  std::memcpy(o + resourceRaw_ + recipeAt, recipe.data(), recipe.size());

  StoreU16(o + nameCount_, uint16_t(LoadU16(o + nameCount_) + 2));
  StoreU32(o + dataEntries_, uint32_t(resourceRva_ + payloadAt));
  StoreU32(o + dataEntries_ + 4, uint32_t(payloadSize));
  StoreU32(o + dataEntries_ + kDataEntrySize, uint32_t(resourceRva_ + recipeAt));
  StoreU32(o + dataEntries_ + kDataEntrySize + 4, uint32_t(recipe.size()));
  StoreU32(o + resourceHeader_ + 8, uint32_t(sectionSize));
  StoreU32(o + resourceHeader_ + 16, uint32_t(rawSize));
  StoreU32(o + h.DirectoryEntryOffset(kDirectoryResource) + 4, uint32_t(sectionSize));
  StoreU32(o + h.SizeOfImageOffset(),
           uint32_t(std::max<uint64_t>(h.sizeOfImage, AlignUp(resourceRva_ + sectionSize, h.sectionAlignment))));
  if (initializedData_) {
    uint64_t initialized = uint64_t(h.sizeOfInitializedData) + rawSize - (uninstaller_.size() - resourceRaw_);
    StoreU32(o + h.SizeOfInitializedDataOffset(), uint32_t(std::min<uint64_t>(initialized, 0xFFFFFFFFu)));
  }
  if (!symbols_.empty()) {
    std::memcpy(o + resourceRaw_ + rawSize, symbols_.data(), symbols_.size());
    StoreU32(o + h.PointerToSymbolTableOffset(), uint32_t(resourceRaw_ + rawSize));
    StoreU32(o + h.PointerToSymbolTableOffset() + 4, symbolCount_);
  }
  StoreU32(o + h.CheckSumOffset(), ComputePeChecksum(o, out->size(), h.CheckSumOffset()));
  return PeStatus::Ok;
}
