#include "packer/version_resource.h"

#include <vector>

#include "pe/resource_tree.h"
#include "util/wide_string.h"

namespace {

constexpr uint16_t kResourceTypeVersion = 16;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr size_t kFixedInfoSize = 52;

// One node of the block: WORD length, WORD value length, WORD type, the
// key as UTF-16 with its terminator, then the value and the children, each
// on a 4-byte boundary (offsets from the start of the block).
struct Node {
  size_t end = 0;
  std::u16string key;
  size_t value = 0;       // where the value starts
  size_t valueBytes = 0;  // as stated: bytes for binary values, characters for texts
  bool isText = false;
  size_t children = 0;    // where the first child starts
};

size_t Align4(size_t offset) { return (offset + 3) & ~size_t(3); }

bool ReadNode(const uint8_t* data, size_t limit, size_t at, Node* node) {
  if (at + 6 > limit) return false;
  size_t length = LoadU16(data + at);
  if (length < 6 || length > limit - at) return false;
  node->end = at + length;
  node->valueBytes = LoadU16(data + at + 2);
  node->isText = LoadU16(data + at + 4) == 1;
  node->key.clear();
  size_t cursor = at + 6;
  for (;;) {
    if (cursor + 2 > node->end) return false;
    char16_t c = char16_t(LoadU16(data + cursor));
    cursor += 2;
    if (c == 0) break;
    node->key += c;
  }
  node->value = Align4(cursor);
  size_t valueSize = node->isText ? 2 * node->valueBytes : node->valueBytes;
  if (node->value > node->end || valueSize > node->end - node->value) {
    // Some writers count a text's bytes rather than its characters; the
    // text then still ends at its terminator inside the node.
    if (!node->isText || node->value > node->end) return false;
    valueSize = node->end - node->value;
  }
  node->children = Align4(node->value + valueSize);
  return true;
}

// The text value of a String node, up to its terminator or the node's end.
std::string TextValue(const uint8_t* data, const Node& node) {
  std::u16string text;
  for (size_t at = node.value; at + 2 <= node.end; at += 2) {
    char16_t c = char16_t(LoadU16(data + at));
    if (c == 0) break;
    text += c;
  }
  return WideString(text).ToUtf8();
}

void ReadStringTable(const uint8_t* data, const Node& table, VersionResource* out) {
  for (size_t at = table.children; at < table.end;) {
    Node entry;
    if (!ReadNode(data, table.end, at, &entry)) return;
    if (entry.key == u"ProductName") out->productName = TextValue(data, entry);
    if (entry.key == u"ProductVersion") out->productVersionText = TextValue(data, entry);
    at = Align4(entry.end);
  }
}

}  // namespace

std::string VersionResource::Describe() const {
  if (!productName.empty() && !productVersionText.empty()) return productName + " " + productVersionText;
  if (!productVersionText.empty()) return productVersionText;
  if (!hasFixed) return {};
  std::string text;
  int parts = productVersion[3] != 0 ? 4 : 3;
  for (int i = 0; i < parts; ++i) text += (i ? "." : "") + std::to_string(productVersion[i]);
  return productName.empty() ? text : productName + " " + text;
}

bool ParseVersionResource(const uint8_t* data, size_t size, VersionResource* out) {
  *out = VersionResource{};
  Node root;
  if (!ReadNode(data, size, 0, &root) || root.key != u"VS_VERSION_INFO") return false;
  if (root.valueBytes >= kFixedInfoSize && root.value + kFixedInfoSize <= root.end &&
      LoadU32(data + root.value) == kFixedInfoSignature) {
    uint32_t high = LoadU32(data + root.value + 16), low = LoadU32(data + root.value + 20);
    out->productVersion[0] = uint16_t(high >> 16);
    out->productVersion[1] = uint16_t(high);
    out->productVersion[2] = uint16_t(low >> 16);
    out->productVersion[3] = uint16_t(low);
    out->hasFixed = true;
  }
  for (size_t at = root.children; at < root.end;) {
    Node child;
    if (!ReadNode(data, root.end, at, &child)) break;
    if (child.key == u"StringFileInfo") {
      Node table;
      if (ReadNode(data, child.end, child.children, &table)) ReadStringTable(data, table, out);
      break;
    }
    at = Align4(child.end);
  }
  return out->hasFixed || !out->productVersionText.empty();
}

bool ReadVersionResource(const ByteSource& image, VersionResource* out) {
  uint64_t offset = 0;
  uint32_t size = 0;
  if (LocateResource(image, kResourceTypeVersion, 1, -1, &offset, &size) != PeStatus::Ok) return false;
  if (size > (1u << 20)) return false;
  std::vector<uint8_t> data(size);
  if (!image.ReadAt(offset, data.data(), data.size())) return false;
  return ParseVersionResource(data.data(), data.size(), out);
}
