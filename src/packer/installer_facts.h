#pragma once
// What the package-manager commands (manifest, choco) read from a finished
// installer besides its header: a member's decoded bytes and the file's hash.

#include <cstdint>
#include <string>
#include <vector>

#include "packer/archive_inspect.h"
#include "packer/file_io.h"

enum class [[nodiscard]] MemberRead { Found, Missing, Failed };

// The member named name (ASCII case ignored), decoded and checked. Missing
// when there is none; Failed with a message when the archive or the member
// is damaged.
MemberRead ReadMemberNamed(const FileSource& file, const ArchiveLocation& location, const std::string& name,
                           std::vector<uint8_t>* data, std::string* error);

// The SHA-256 of the whole file as 64 upper-case hex digits; false on a read failure.
bool HashFile(const FileSource& file, std::string* hex);
