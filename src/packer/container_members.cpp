#include "packer/container_members.h"

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
