#pragma once
// Builds an installer from a stub executable and the members' bytes: every
// member compressed as one LZMA-alone stream (in parallel), or stored as it
// is when LZMA would save less than a hundredth of it (judged from its
// first megabyte where that does not compress), the archive laid
// out in the given member order, and the archive embedded in a copy of the
// stub as RT_RCDATA 24356, language neutral, at the end of the file, with
// the recipe of the uninstaller behind it (pe/installer_image.h). The result depends only on the
// inputs and the compression settings, never on the thread count.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "payload/archive_format.h"
#include "payload/lzma_alone.h"
#include "payload/member_method.h"

struct PackSource {
  std::string name;           // Windows-1252 bytes
  std::vector<uint8_t> data;  // the member's content
};

struct PackSettings {
  LzmaOptions lzma;
  // Small members grouped into solid blocks (the stub reads such members).
  bool solidBlocks = false;
  unsigned threads = 1;
  // Called from the worker threads after each member, with its input size;
  // must be safe to call concurrently.
  std::function<void(uint64_t bytes)> memberDone;
};

// The dictionary for a member: the configured size, but no larger than the
// member needs (the smallest 2^n or 2^n + 2^(n-1) that holds it, at least
// 4 KiB): a window beyond the member's start is never used, and a smaller
// one saves the encoder's set-up and the decoder's memory.
uint32_t DictionaryFor(uint64_t memberSize, uint32_t dictionarySize);

// A member's packed data: its LZMA-alone stream, or its stored form
// (payload/member_method.h) when the stream is not at least a
// kStoreBelowSaving-th smaller than the member. Members whose first
// megabyte does not compress by that much at a fast setting are stored
// without the full pass (packer/store_probe.h). With options.x86Filter
// (the stub reads such members) the x86 branch filter runs in front of
// LZMA where the same probe finds that it saves a kX86ProbeGain-th. False
// when the encoder fails or the member is 4 GiB or larger.
constexpr size_t kStoreBelowSaving = 100;
constexpr size_t kX86ProbeGain = 100;
// Members of up to kSolidMemberMax bytes that compress go, in member order,
// into solid blocks of up to kSolidBlockBytes: each starts LZMA's window
// afresh, so a thousand small files packed one by one lose what each could
// have found in the others. The blocks stay small enough to decode in a
// moment and to hold in memory, several at once on as many threads.
constexpr size_t kSolidMemberMax = 256u << 10;
constexpr size_t kSolidBlockBytes = 4u << 20;
bool PackMemberData(const uint8_t* data, size_t size, const LzmaOptions& options, std::vector<uint8_t>& out);

// For each source, the index of the first source with the same content
// (its own index when there is none before it; empty sources share
// nothing).
std::vector<size_t> FirstWithSameContent(const std::vector<PackSource>& sources, unsigned threads);

// Compresses the sources into members, in source order; a source with the
// content of an earlier one is not compressed again but shares its data
// (PackedMember::sameDataAs). With settings.solidBlocks and blocks given,
// small members are grouped into blocks, packed into *blocks for
// WriteArchive (PackedMember::solidBlock). Sources whose data
// is not needed afterwards may be released by the caller. False with a
// message in error (UTF-8) when a member is 4 GiB or larger or the encoder
// fails.
bool CompressMembers(const std::vector<PackSource>& sources, const PackSettings& settings,
                     std::vector<PackedMember>* members, std::string* error,
                     std::vector<std::vector<uint8_t>>* blocks = nullptr);

// The archive of the sources: CompressMembers and WriteArchive. False with a
// message in error on any refusal (name, size).
bool PackArchive(const std::vector<PackSource>& sources, const PackSettings& settings, std::vector<uint8_t>* archive,
                 std::string* error);

// PackArchive and EmbedArchive in one. out receives the installer; false
// with a message in error on any refusal (name, size, stub).
bool PackInstaller(const uint8_t* stub, size_t stubSize, const std::vector<PackSource>& sources,
                   const PackSettings& settings, std::vector<uint8_t>* out, std::string* error);

// The archive embedded into a stub as the installer's payload, with the
// recipe of the unsigned uninstaller (pe/installer_image.h).
bool EmbedArchive(const uint8_t* stub, size_t stubSize, const std::vector<uint8_t>& archive,
                  std::vector<uint8_t>* out, std::string* error);
