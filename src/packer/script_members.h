#pragma once
// The payload members a script needs, and the name rules of members:
// Windows-1252 bytes, at most 254 of them, looked up ignoring ASCII case.

#include <cstddef>
#include <string>
#include <vector>

#include "packer/script_scan.h"

constexpr size_t kMaxMemberNameBytes = 254;

// Every member the script refers to, in the order of first mention, each
// once (ASCII case ignored): [CopyFile] members, [Registry] BINARY data
// members and "<TempInstall>" programs of [RunFile] and [RunAndWaitFile].
std::vector<std::string> ScriptMemberNames(const ScriptScan& scan);

// The key under which the installer finds a member: ASCII letters folded.
std::string MemberKey(const std::string& name);

// UTF-8 to Windows-1252; false when a character has no Windows-1252 byte or
// the UTF-8 is malformed.
bool Utf8ToCp1252(const std::string& utf8, std::string* cp1252);
std::string Cp1252ToUtf8(const std::string& cp1252);
