#pragma once
// Builds payload archives for tests: each member (name in ANSI bytes, raw
// content) is compressed as an LZMA-alone stream and the archive is laid out
// as the packer does. Load the result with
// PayloadContext::OpenFromMemory(bytes.data(), bytes.size(), &failed).

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

std::vector<uint8_t> BuildTestPayload(const std::vector<std::pair<std::string, std::string>>& members);
