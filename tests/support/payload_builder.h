#pragma once
// Builds payload archives for tests: each member (name in ANSI bytes, raw
// content) is compressed as an LZMA-alone stream and the archive is laid out
// as the packer does. Load the result with
// PayloadContext::OpenFromMemory(bytes.data(), bytes.size(), &failed).

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "payload/archive_format.h"

// size letters, each one of the first `letters` of the alphabet, drawn from
// a generator seeded with seed: text that packs to about log2(letters) / 8
// of its size.
std::string PseudoText(int seed, size_t size, int letters);
// The member packed quickly (these tests need sizes, not ratios).
PackedMember QuickMember(const std::string& name, const std::string& content);

std::vector<uint8_t> BuildTestPayload(const std::vector<std::pair<std::string, std::string>>& members);
