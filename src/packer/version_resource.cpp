#include "packer/version_resource.h"

#include <algorithm>
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
    std::string value = TextValue(data, entry);
    if (entry.key == u"ProductName") out->productName = value;
    if (entry.key == u"ProductVersion") out->productVersionText = value;
    out->strings.emplace_back(WideString(entry.key).ToUtf8(), value);
    at = Align4(entry.end);
  }
}

// Appends a node: the header, the key, the value and each child, every
// part on a 4-byte boundary; the length counts the whole.
class NodeWriter {
 public:
  static std::vector<uint8_t> Make(const std::u16string& key, bool isText, uint16_t valueLength,
                                   const std::vector<uint8_t>& value, const std::vector<std::vector<uint8_t>>& children) {
    std::vector<uint8_t> out(6, 0);
    for (char16_t c : key) Put16(&out, c);
    Put16(&out, 0);
    Pad(&out);
    out.insert(out.end(), value.begin(), value.end());
    for (const std::vector<uint8_t>& child : children) {
      Pad(&out);
      out.insert(out.end(), child.begin(), child.end());
    }
    out[0] = uint8_t(out.size());
    out[1] = uint8_t(out.size() >> 8);
    out[2] = uint8_t(valueLength);
    out[3] = uint8_t(valueLength >> 8);
    out[4] = isText ? 1 : 0;
    return out;
  }
  static void Put16(std::vector<uint8_t>* out, uint32_t value) {
    out->push_back(uint8_t(value));
    out->push_back(uint8_t(value >> 8));
  }
  static void Put32(std::vector<uint8_t>* out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
  }
  static void Pad(std::vector<uint8_t>* out) {
    while (out->size() % 4 != 0) out->push_back(0);
  }
};

std::vector<uint8_t> StringNode(const char16_t* key, const std::string& utf8) {
  std::u16string text = WideString::FromUtf8(utf8.c_str(), int(utf8.size())).Str();
  // A string of the table is at most what a node's length can hold.
  if (text.size() > 1000) text.resize(1000);
  std::vector<uint8_t> value;
  for (char16_t c : text) NodeWriter::Put16(&value, c);
  NodeWriter::Put16(&value, 0);
  return NodeWriter::Make(key, true, uint16_t(text.size() + 1), value, {});
}

}  // namespace

void VersionNumbers(const std::string& text, uint16_t numbers[4]) {
  for (int i = 0; i < 4; ++i) numbers[i] = 0;
  size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    if (at >= text.size() || text[at] < '0' || text[at] > '9') return;
    uint32_t value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
      value = std::min<uint32_t>(value * 10 + uint32_t(text[at] - '0'), 65535);
      ++at;
    }
    numbers[part] = uint16_t(value);
    if (at >= text.size() || text[at] != '.') return;
    ++at;
  }
}

std::string VersionNumbersText(const uint16_t numbers[4]) {
  std::string text;
  for (int i = 0; i < 4; ++i) text += (i ? "." : "") + std::to_string(numbers[i]);
  return text;
}

std::vector<uint8_t> BuildVersionResource(const VersionFields& fields) {
  std::vector<uint8_t> fixed;
  const uint16_t* v = fields.version;
  NodeWriter::Put32(&fixed, kFixedInfoSignature);
  NodeWriter::Put32(&fixed, 0x00010000);  // structure version 1.0
  for (int twice = 0; twice < 2; ++twice) {  // file version, then product version
    NodeWriter::Put32(&fixed, uint32_t(v[0]) << 16 | v[1]);
    NodeWriter::Put32(&fixed, uint32_t(v[2]) << 16 | v[3]);
  }
  NodeWriter::Put32(&fixed, 0x3F);        // VS_FFI_FILEFLAGSMASK
  NodeWriter::Put32(&fixed, 0);           // no flags
  NodeWriter::Put32(&fixed, 0x00040004);  // VOS_NT_WINDOWS32
  NodeWriter::Put32(&fixed, 1);           // VFT_APP
  NodeWriter::Put32(&fixed, 0);           // subtype
  NodeWriter::Put32(&fixed, 0);           // no date
  NodeWriter::Put32(&fixed, 0);

  const std::pair<const char16_t*, const std::string*> entries[] = {
      {u"CompanyName", &fields.companyName},         {u"FileDescription", &fields.fileDescription},
      {u"FileVersion", &fields.fileVersion},         {u"InternalName", &fields.internalName},
      {u"LegalCopyright", &fields.legalCopyright},   {u"OriginalFilename", &fields.originalFilename},
      {u"ProductName", &fields.productName},         {u"ProductVersion", &fields.productVersion},
      {u"Comments", &fields.comments}};
  std::vector<std::vector<uint8_t>> strings;
  for (const auto& [key, value] : entries) {
    if (!value->empty()) strings.push_back(StringNode(key, *value));
  }
  std::vector<uint8_t> table = NodeWriter::Make(u"040904B0", true, 0, {}, strings);
  std::vector<uint8_t> stringInfo = NodeWriter::Make(u"StringFileInfo", true, 0, {}, {table});
  std::vector<uint8_t> translation;
  NodeWriter::Put16(&translation, kVersionLanguage);
  NodeWriter::Put16(&translation, 1200);
  std::vector<uint8_t> var = NodeWriter::Make(u"Translation", false, 4, translation, {});
  std::vector<uint8_t> varInfo = NodeWriter::Make(u"VarFileInfo", true, 0, {}, {var});
  return NodeWriter::Make(u"VS_VERSION_INFO", false, uint16_t(kFixedInfoSize), fixed, {stringInfo, varInfo});
}

std::string VersionResource::Text(const std::string& key) const {
  for (const auto& [name, value] : strings) {
    if (name == key) return value;
  }
  return {};
}

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
    high = LoadU32(data + root.value + 8);
    low = LoadU32(data + root.value + 12);
    out->fileVersion[0] = uint16_t(high >> 16);
    out->fileVersion[1] = uint16_t(high);
    out->fileVersion[2] = uint16_t(low >> 16);
    out->fileVersion[3] = uint16_t(low);
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
