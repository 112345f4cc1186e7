#include "records/lob_reader.h"

#include <algorithm>

#include "common/hex_text.h"
#include "common/little_endian.h"
#include "common/text_encoding.h"
#include "pages/database_file.h"
#include "records/page_reads.h"

namespace quill {

using lob_internal::LobWalk;

namespace {

constexpr uint64_t kMaxValueBytes = uint64_t{2} << 30;  // a value stops growing at 2 GiB
constexpr int kMaxDepth = 64;
constexpr int32_t kMaxNodeValue = 8192;
constexpr uint8_t kVariantBinary = 173;
constexpr uint8_t kVariantVarbinary = 165;
constexpr size_t kVariantValueOffset = 8;
constexpr uint16_t kLastRealFileId = 1000;

struct Link {
  PageAddress address;
  uint16_t slot = 0;
};

uint16_t U16(std::span<const uint8_t> b, size_t offset) {
  return offset + 2 <= b.size() ? LoadLittleEndianUnchecked<uint16_t>(b.data() + offset) : 0;
}
int32_t I32(std::span<const uint8_t> b, size_t offset) {
  return offset + 4 <= b.size() ? LoadLittleEndianUnchecked<int32_t>(b.data() + offset) : 0;
}

std::string AnsiText(std::span<const uint8_t> bytes, int32_t code_page) {
  const auto zero = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  return CodePageToUtf8(bytes.first(static_cast<size_t>(zero - bytes.begin())), code_page);
}

// UTF-16 text up to the first zero character.
std::string Utf16Text(std::span<const uint8_t> bytes) {
  size_t units = 0;
  while (2 * units + 1 < bytes.size() && (bytes[2 * units] != 0 || bytes[2 * units + 1] != 0)) ++units;
  return Utf16LeToUtf8(bytes.first(2 * units));
}

// Low bytes of UTF-16 text in the ASCII range: bytes 0, 2, 4, ...
std::vector<uint8_t> Squeeze(std::span<const uint8_t> bytes) {
  std::vector<uint8_t> out;
  out.reserve(bytes.size() / 2 + 1);
  for (size_t i = 0; i < bytes.size(); i += 2) out.push_back(bytes[i]);
  return out;
}

std::string VariantText(std::span<const uint8_t> value, int32_t code_page) {
  if (value.empty()) return {};
  const uint8_t base_type = value[0];
  const auto rest = value.size() > kVariantValueOffset ? value.subspan(kVariantValueOffset) : std::span<const uint8_t>();
  if (base_type == kVariantBinary || base_type == kVariantVarbinary) return HexText(rest);
  return AnsiText(rest, code_page);
}

// Counts UTF-8 code points; cuts the text after `limit` of them.
void CutToCharacters(std::string& text, uint64_t limit) {
  uint64_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<uint8_t>(text[i]) & 0xC0) == 0x80) continue;  // continuation byte
    if (characters == limit) {
      text.resize(i);
      return;
    }
    ++characters;
  }
}

// Reads the node a link points to; `found_length` receives the record's
// dataLength when the record was found.
std::string ReadLinkedNode(Link link, const CDatabaseFile& file, const LobReadOptions& options,
                           LobWalk& walk, int32_t* found_length = nullptr, bool* found = nullptr,
                           int32_t* found_type = nullptr) {
  if (walk.depth >= kMaxDepth || walk.produced >= kMaxValueBytes) return {};
  if (!walk.visited.insert({link.address.fileId, link.address.pageId, link.slot}).second) return {};
  RecordParseOptions page_options;
  page_options.stop = options.stop;
  auto page = ReadTextPage(file, link.address, page_options);
  if (!page || link.slot >= page->records().size()) return {};
  const TextRecord* record = page->records()[link.slot].get();
  if (record == nullptr || record->data.empty()) return {};
  if (found != nullptr) *found = true;
  if (found_length != nullptr) *found_length = record->dataLength;
  if (found_type != nullptr) *found_type = record->nodeType;
  ++walk.depth;
  std::string text = lob_internal::DecodeLobNode(record->data, record->dataLength, file, options, walk);
  --walk.depth;
  return text;
}

void Append(std::string& text, const std::string& more, LobWalk& walk) {
  const uint64_t room = kMaxValueBytes > walk.produced ? kMaxValueBytes - walk.produced : 0;
  const size_t taken = static_cast<size_t>(std::min<uint64_t>(room, more.size()));
  text.append(more, 0, taken);
  walk.produced += taken;
}

void AppendChunk(std::span<const uint8_t> bytes, const LobReadOptions& options, LobWalk& walk) {
  if (walk.produced + bytes.size() > kMaxValueBytes) return;
  options.chunks->push_back({std::vector<uint8_t>(bytes.begin(), bytes.end())});
  walk.produced += bytes.size();
}

}  // namespace

namespace lob_internal {

std::string DecodeLobNode(std::span<const uint8_t> node, int32_t length, const CDatabaseFile& file,
                          const LobReadOptions& options, LobWalk& walk) {
  constexpr size_t kNodeType = 8;
  if (node.size() < 10 || length < 0) return {};
  int32_t type = U16(node, kNodeType);
  if (type == 4 || type == 6) type = kLobNodeLargeRoot;

  if (type == kLobNodeSmallRoot) {
    const int32_t n = U16(node, 10);
    constexpr size_t kValue = 16;
    if (n < 1 || n > kMaxNodeValue || kValue + static_cast<size_t>(n) > node.size()) return {};
    const auto value = node.subspan(kValue, static_cast<size_t>(n));
    if (options.chunks != nullptr) {
      if (n < kMaxNodeValue) AppendChunk(value, options, walk);
      return {};
    }
    if (options.variant) return VariantText(value, options.ansiCodePage);
    if (options.binary) return HexText(value);
    if (options.unicode) return Utf16Text(value);
    // Not known to be Unicode: UTF-16 text in the ASCII range (exactly half
    // of the bytes zero) is squeezed to one byte per character.
    const auto zeros = std::count(value.begin(), value.end(), uint8_t{0});
    if (zeros == n / 2) return AnsiText(Squeeze(value), options.ansiCodePage);
    return AnsiText(value, options.ansiCodePage);
  }

  if (type == kLobNodeInternal) {
    const int32_t links = U16(node, 12);
    constexpr size_t kFirstLink = 16;
    constexpr size_t kLinkSize = 16;
    LobReadOptions inner = options;
    inner.variant = false;
    std::string text;
    for (int32_t i = 0; i < links && !options.stop.stopRequested(); ++i) {
      const size_t offset = kFirstLink + kLinkSize * static_cast<size_t>(i);
      if (offset + kLinkSize > node.size()) break;
      Link link{{U16(node, offset + 12), I32(node, offset + 8)}, U16(node, offset + 14)};
      Append(text, ReadLinkedNode(link, file, inner, walk), walk);
    }
    return text;
  }

  if (type == kLobNodeData) {
    constexpr size_t kValue = 10;
    if (length < 1 || length > kMaxNodeValue || kValue + static_cast<size_t>(length) > node.size()) return {};
    const auto value = node.subspan(kValue, static_cast<size_t>(length));
    if (options.chunks != nullptr) {
      if (length < kMaxNodeValue) AppendChunk(value, options, walk);
      return {};
    }
    if (options.variant) return VariantText(value, options.ansiCodePage);
    if (options.binary) return HexText(value);
    if (options.unicode) return Utf16Text(value);
    return AnsiText(value, options.ansiCodePage);
  }

  if (type == kLobNodeLargeRoot) {
    const int32_t links = U16(node, 12);
    constexpr size_t kFirstLink = 20;
    constexpr size_t kLinkSize = 12;
    LobReadOptions inner = options;
    inner.variant = false;
    std::string text;
    uint64_t total = 0;
    bool only_data_nodes = true;
    for (int32_t i = 0; i < links && !options.stop.stopRequested(); ++i) {
      const size_t offset = kFirstLink + kLinkSize * static_cast<size_t>(i);
      if (offset + kLinkSize > node.size()) break;
      Link link{{U16(node, offset + 8), I32(node, offset + 4)}, U16(node, offset + 10)};
      int32_t found_length = 0;
      int32_t found_type = kLobNodeNone;
      bool found = false;
      Append(text, ReadLinkedNode(link, file, inner, walk, &found_length, &found, &found_type), walk);
      if (!found) continue;
      if (found_type != kLobNodeData) only_data_nodes = false;
      const uint64_t record_length = found_length > 0 ? static_cast<uint64_t>(found_length) : 0;
      total += options.binary && text.size() >= 2 * record_length ? text.size() : record_length;
    }
    // The data nodes' lengths bound the value. A link to an internal node
    // carries only the node's own length, not its subtree's
    // (pubs-2008-script pub_info.pr_info, 65071 characters under internal
    // nodes), and UTF-16 text is shorter than its bytes: neither is cut.
    if (only_data_nodes && !options.unicode && options.chunks == nullptr) CutToCharacters(text, total);
    return text;
  }
  return {};
}

}  // namespace lob_internal

std::string ReadTextPointer(std::span<const uint8_t> pointer, const CDatabaseFile& file,
                            const LobReadOptions& options) {
  if (pointer.size() < 16) return {};
  LobWalk walk;
  bool found = false;
  Link link{{U16(pointer, 12), I32(pointer, 8)}, U16(pointer, 14)};
  std::string text = ReadLinkedNode(link, file, options, walk, nullptr, &found);
  if (found && text.empty()) return " ";
  return text;
}

std::string ReadComplexValue(std::span<const uint8_t> value, const CDatabaseFile& file,
                             const LobReadOptions& options) {
  constexpr size_t kHeader = 12;
  constexpr size_t kLinkSize = 12;
  LobWalk walk;
  std::string text;
  for (size_t offset = kHeader; offset + kLinkSize <= value.size() && !options.stop.stopRequested(); offset += kLinkSize) {
    if (I32(value, offset) <= 0) continue;
    uint16_t file_id = U16(value, offset + 8);
    if (file_id > kLastRealFileId) file_id = 1;
    Link link{{file_id, I32(value, offset + 4)}, U16(value, offset + 10)};
    Append(text, ReadLinkedNode(link, file, options, walk), walk);
  }
  return text;
}

}  // namespace quill
