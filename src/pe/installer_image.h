#pragma once
// The installer as the packer lays it out, and the uninstaller that the
// installer writes from its own file.
//
// The stub's resource section is rebuilt as the last section, in memory and
// in the file, starting on a page boundary of the file so that loaders can
// map it (section_plan.h), with the payload at its end and the uninstaller
// recipe (uninstaller_recipe.h) behind the payload. Cut off where the
// payload begins, with a few header fields set back, the installer is
// the uninstaller: the same program and resources without the payload. In
// the uninstaller the two resources are hidden (the directory that lists
// them counts two names fewer and their data entries are zero), the
// resource section ends before the payload would begin, and the optional
// header's sizes and checksum say so.
//
// Every field that differs between the two lies at a place known when the
// stub is laid out: the size fields of the optional header, the checksum,
// the symbol table fields, the security and resource directory entries,
// the resource section's sizes, the name count and the two data entries.
// The recipe spells out all of them, with the uninstaller's values, and
// whatever signing the uninstaller changed or added. So it gives back the
// same uninstaller from the installer's file even after the publisher has
// signed the installer: Authenticode signing changes only the checksum and
// the security directory entry and appends the certificate table behind
// everything else.
//
// This carries no second copy of the program in the installer (an
// embedded uninstaller would double the stub), and all the PE work stays
// here, in the packer: the installer only copies bytes and patches them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "pe/pe_headers.h"
#include "pe/pe_status.h"
#include "pe/resource_tree.h"
#include "pe/uninstaller_recipe.h"

// Changes to the stub's resources (the product's icon and version block)
// before the installer is laid out; the uninstaller carries them too.
using ResourceEdit = std::function<PeStatus(ResourceTree* tree)>;

class InstallerImage {
 public:
  // Lays the stub out for a payload that will be RT_RCDATA payloadId,
  // language neutral. A payload and recipe that the stub already carries
  // (an installer given as stub) are dropped, with every other language
  // version of them. Refused like EmbedResource (resource_writer.h): NotPe,
  // Corrupt, Signed, Overlay, Unsupported (also when the stub numbers other
  // RT_RCDATA resources above the recipe's), TooLarge. edit, when given,
  // changes the resources first; its failure is the result.
  PeStatus Prepare(const uint8_t* stub, size_t stubSize, uint16_t payloadId, const ResourceEdit& edit = {});

  // The uninstaller: the program without the payload, checksummed. Empty
  // until Prepare has succeeded.
  const std::vector<uint8_t>& Uninstaller() const { return uninstaller_; }

  // The installer holding the payload, with the recipe that gives back
  // uninstaller from it: Uninstaller() itself, or what signing made of it
  // (any bytes at all: the recipe stores whatever differs). TooLarge when
  // the installer would reach 4 GiB or the uninstaller is over the recipe's
  // limit; Unsupported before Prepare.
  PeStatus Finish(const uint8_t* payload, size_t payloadSize, const std::vector<uint8_t>& uninstaller,
                  std::vector<uint8_t>* out) const;

  // The ranges that the uninstaller's recipe spells out whatever signing
  // did (file offsets, in order, not overlapping).
  const std::vector<RecipeRange>& FixedRanges() const { return fixed_; }

 private:
  PeHeaders headers_;  // of the uninstaller
  std::vector<uint8_t> uninstaller_;
  std::vector<uint8_t> symbols_;  // the stub's COFF symbol table, kept behind the installer's sections
  uint32_t symbolCount_ = 0;
  uint32_t resourceHeader_ = 0;   // file offset of the resource section's header
  uint32_t resourceRva_ = 0;
  uint32_t resourceRaw_ = 0;
  uint32_t resourceBody_ = 0;     // the section's size in the uninstaller
  uint32_t nameCount_ = 0;        // file offset of the hidden names' count
  uint32_t dataEntries_ = 0;      // file offset of the payload's data entry; the recipe's follows
  bool initializedData_ = false;  // the section counts towards SizeOfInitializedData
  std::vector<RecipeRange> fixed_;
};
