#include "packer/container_members.h"

#include <algorithm>

#include "packer/script_members.h"
#include "payload/archive_format.h"
#include "pe/resource_tree.h"

bool IsSetupName(const std::string& name) {
  std::string key = MemberKey(name);
  size_t slash = key.find_last_of("\\/");
  if (slash != std::string::npos) key.erase(0, slash + 1);
  size_t dot = key.rfind('.');
  if (dot != std::string::npos) key.erase(dot);
  return key == "setup";
}

bool HoldsPayload(const ByteSource& file) {
  uint64_t offset = 0;
  uint32_t size = 0;
  return LocateResource(file, kResourceTypeRcData, kPayloadResourceId, -1, &offset, &size) == PeStatus::Ok;
}

std::vector<std::string> SingleBitnessMembers(const std::vector<std::string>& names) {
  const std::string marker = "__PLI_WIN64";
  auto is64 = [&](const std::string& name) { return name.find(marker) != std::string::npos; };
  std::vector<std::string> alone;
  if (std::none_of(names.begin(), names.end(), [&](const std::string& n) { return is64(n) && !IsSetupName(n); })) {
    return alone;
  }
  for (const std::string& name : names) {
    if (IsSetupName(name) || is64(name)) continue;
    // A 32-bit installer with its 64-bit twin (App.exe, App__PLI_WIN64.exe)
    // is the usual pair: on 64-bit Windows the twin runs instead.
    size_t dot = name.rfind('.');
    size_t slash = name.find_last_of("\\/");
    bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    std::string twin = name;
    twin.insert(extension ? dot : twin.size(), marker);
    bool paired = std::any_of(names.begin(), names.end(), [&](const std::string& n) { return MemberKey(n) == MemberKey(twin); });
    if (!paired) alone.push_back(name);
  }
  return alone;
}
