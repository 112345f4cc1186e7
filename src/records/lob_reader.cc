#include "records/lob_reader.h"

#include <algorithm>
#include <optional>
#include <set>
#include <tuple>

#include "common/hex_text.h"
#include "common/little_endian.h"
#include "common/printf_text.h"
#include "common/text_encoding.h"
#include "pages/database_file.h"
#include "records/page_reads.h"

namespace quill {

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

// How stored bytes become text.
enum class TextForm : uint8_t { kAnsi, kUnicode, kBinary, kVariant };

TextForm FormOf(const LobReadOptions& options) {
  if (options.variant) return TextForm::kVariant;
  if (options.binary) return TextForm::kBinary;
  if (options.unicode) return TextForm::kUnicode;
  return TextForm::kAnsi;
}

// Bytes of consecutive nodes that are turned into text together.
struct Piece {
  TextForm form = TextForm::kAnsi;
  std::vector<uint8_t> bytes;
};

// State of one value's walk: the nodes read so far and the bytes gathered
// from them in node order. Nodes of one form join one piece, so a character
// whose bytes are split between two nodes is read whole; every sql_variant
// node is a piece of its own.
struct LobWalk {
  std::set<std::tuple<uint16_t, int32_t, uint16_t>> visited;  // (file, page, slot)
  uint64_t produced = 0;  // bytes gathered and chunked so far
  int depth = 0;
  std::vector<Piece> pieces;
};

// What reading one node found.
struct NodeRead {
  bool found = false;  // the record exists and has data
  int32_t length = 0;  // the record's dataLength
  int32_t type = kLobNodeNone;
  // A large root of data nodes: the most characters its text may have.
  std::optional<uint64_t> characterLimit;
  bool parsed = true;  // false: the node's own fields do not hold together
};

NodeRead Unparsed() {
  NodeRead read;
  read.parsed = false;
  return read;
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

std::string PieceText(const Piece& piece, int32_t code_page) {
  switch (piece.form) {
    case TextForm::kVariant: return VariantText(piece.bytes, code_page);
    case TextForm::kBinary: return HexText(piece.bytes);
    case TextForm::kUnicode: return Utf16Text(piece.bytes);
    case TextForm::kAnsi: break;
  }
  return AnsiText(piece.bytes, code_page);
}

// The text of everything the walk gathered, no longer than 2 GiB.
std::string WalkText(const LobWalk& walk, int32_t code_page) {
  std::string text;
  for (const Piece& piece : walk.pieces) {
    text += PieceText(piece, code_page);
    if (text.size() >= kMaxValueBytes) {
      text.resize(kMaxValueBytes);
      break;
    }
  }
  return text;
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

// Where the text in one node's bytes ends: each node's text stops at its
// first zero byte (ANSI) or its first zero character (UTF-16; characters
// are counted from the start of the piece, `before` bytes back, so a node of
// odd length moves the next one's characters by a byte).
size_t NodeTextEnd(std::span<const uint8_t> bytes, TextForm form, size_t before) {
  if (form == TextForm::kAnsi) {
    return static_cast<size_t>(std::find(bytes.begin(), bytes.end(), uint8_t{0}) - bytes.begin());
  }
  if (form == TextForm::kUnicode) {
    for (size_t i = before % 2; i + 1 < bytes.size(); i += 2) {
      if (bytes[i] == 0 && bytes[i + 1] == 0) return i;
    }
  }
  return bytes.size();
}

// Adds the value bytes of one small root or data node to the walk: to the
// chunk list when one is given (nodes under 8192 bytes), else to the pieces.
void GatherValue(std::span<const uint8_t> value, const LobReadOptions& options, LobWalk& walk) {
  if (options.collectsChunks()) {
    if (value.size() >= static_cast<size_t>(kMaxNodeValue) || walk.produced + value.size() > kMaxValueBytes) return;
    walk.produced += value.size();
    if (options.chunks != nullptr) {
      options.chunks->push_back({std::vector<uint8_t>(value.begin(), value.end())});
    } else {
      (*options.chunkSink)(value);
    }
    return;
  }
  const TextForm form = FormOf(options);
  if (walk.pieces.empty() || form == TextForm::kVariant || walk.pieces.back().form != form) {
    walk.pieces.push_back({form, {}});
  }
  std::vector<uint8_t>& bytes = walk.pieces.back().bytes;
  const uint64_t room = kMaxValueBytes > walk.produced ? kMaxValueBytes - walk.produced : 0;
  const size_t taken = static_cast<size_t>(std::min<uint64_t>(room, NodeTextEnd(value, form, bytes.size())));
  bytes.insert(bytes.end(), value.begin(), value.begin() + static_cast<std::ptrdiff_t>(taken));
  walk.produced += taken;
}

NodeRead GatherNode(std::span<const uint8_t> node, int32_t length, const CDatabaseFile& file,
                    const LobReadOptions& options, LobWalk& walk);

// Keeps the first node the walk could not read, when the caller asked. A
// link's page id below 0 names no page: it goes into the message.
void NoteFailure(const LobReadOptions& options, Link link, std::string message) {
  if (options.failure == nullptr || !options.failure->ok()) return;
  Place place{.fileId = link.address.fileId, .pageId = link.address.pageId, .slot = link.slot};
  if (link.address.pageId < 0) {
    message = PrintfText("the link names page id %d: ", link.address.pageId) + message;
    place.pageId = -1;
  }
  *options.failure = Status::Failure(std::move(message), place);
}

// Reads the node a link points to and gathers its bytes.
NodeRead GatherLinkedNode(Link link, const CDatabaseFile& file, const LobReadOptions& options, LobWalk& walk) {
  if (walk.produced >= kMaxValueBytes) return {};
  if (walk.depth >= kMaxDepth) {
    NoteFailure(options, link, PrintfText("large value nodes nested deeper than %d", kMaxDepth));
    return {};
  }
  if (!walk.visited.insert({link.address.fileId, link.address.pageId, link.slot}).second) {
    NoteFailure(options, link, "a link back to a node already read");
    return {};
  }
  RecordParseOptions page_options;
  page_options.stop = options.stop;
  auto page = ReadTextPage(file, link.address, page_options);
  if (!page) {
    NoteFailure(options, link, "the text page cannot be read");
    return {};
  }
  if (link.slot >= page->records().size()) {
    NoteFailure(options, link, PrintfText("the text page has %zu slots", page->records().size()));
    return {};
  }
  const TextRecord* record = page->records()[link.slot].get();
  if (record == nullptr || record->data.empty()) {
    NoteFailure(options, link, "the slot holds no large value node");
    return {};
  }
  ++walk.depth;
  NodeRead read = GatherNode(record->data, record->dataLength, file, options, walk);
  if (!read.parsed) {
    NoteFailure(options, link,
                PrintfText("the node (type %d, length %d) does not parse", record->nodeType, record->dataLength));
  }
  --walk.depth;
  read.found = true;
  read.length = record->dataLength;
  read.type = record->nodeType;
  return read;
}

// Gathers one node (`node` = record bytes 4..R-1, `length` = the record's
// dataLength) and the nodes it links to.
NodeRead GatherNode(std::span<const uint8_t> node, int32_t length, const CDatabaseFile& file,
                    const LobReadOptions& options, LobWalk& walk) {
  constexpr size_t kNodeType = 8;
  if (node.size() < 10 || length < 0) return Unparsed();
  int32_t type = U16(node, kNodeType);
  if (type == 4 || type == 6) type = kLobNodeLargeRoot;

  if (type == kLobNodeSmallRoot) {
    const int32_t n = U16(node, 10);
    constexpr size_t kValue = 16;
    if (n < 1 || n > kMaxNodeValue || kValue + static_cast<size_t>(n) > node.size()) return Unparsed();
    const auto value = node.subspan(kValue, static_cast<size_t>(n));
    // Not known to be Unicode: UTF-16 text in the ASCII range (exactly half
    // of the bytes zero) is squeezed to one byte per character.
    if (!options.collectsChunks() && FormOf(options) == TextForm::kAnsi &&
        std::count(value.begin(), value.end(), uint8_t{0}) == n / 2) {
      GatherValue(Squeeze(value), options, walk);
    } else {
      GatherValue(value, options, walk);
    }
    return {};
  }

  if (type == kLobNodeInternal) {
    const int32_t links = U16(node, 12);
    constexpr size_t kFirstLink = 16;
    constexpr size_t kLinkSize = 16;
    LobReadOptions inner = options;
    inner.variant = false;
    for (int32_t i = 0; i < links && !options.stop.stopRequested(); ++i) {
      const size_t offset = kFirstLink + kLinkSize * static_cast<size_t>(i);
      if (offset + kLinkSize > node.size()) break;
      Link link{{U16(node, offset + 12), I32(node, offset + 8)}, U16(node, offset + 14)};
      GatherLinkedNode(link, file, inner, walk);
    }
    return {};
  }

  if (type == kLobNodeData) {
    constexpr size_t kValue = 10;
    if (length < 1 || length > kMaxNodeValue || kValue + static_cast<size_t>(length) > node.size()) {
      return Unparsed();
    }
    GatherValue(node.subspan(kValue, static_cast<size_t>(length)), options, walk);
    return {};
  }

  if (type == kLobNodeLargeRoot) {
    const int32_t links = U16(node, 12);
    constexpr size_t kFirstLink = 20;
    constexpr size_t kLinkSize = 12;
    LobReadOptions inner = options;
    inner.variant = false;
    const uint64_t produced_before = walk.produced;
    uint64_t total = 0;
    bool only_data_nodes = true;
    for (int32_t i = 0; i < links && !options.stop.stopRequested(); ++i) {
      const size_t offset = kFirstLink + kLinkSize * static_cast<size_t>(i);
      if (offset + kLinkSize > node.size()) break;
      Link link{{U16(node, offset + 8), I32(node, offset + 4)}, U16(node, offset + 10)};
      const NodeRead read = GatherLinkedNode(link, file, inner, walk);
      if (!read.found) continue;
      if (read.type != kLobNodeData) only_data_nodes = false;
      // The total counts characters of text: hex text has two per byte.
      const uint64_t record_length = read.length > 0 ? static_cast<uint64_t>(read.length) : 0;
      const uint64_t hex_so_far = 2 * (walk.produced - produced_before);
      total += options.binary && hex_so_far >= 2 * record_length ? hex_so_far : record_length;
    }
    // The data nodes' lengths bound the value. A link to an internal node
    // carries only the node's own length, not its subtree's
    // (pubs-2008-script pub_info.pr_info, 65071 characters under internal
    // nodes), and UTF-16 text is shorter than its bytes: neither is cut.
    NodeRead read;
    if (only_data_nodes && !options.unicode && !options.collectsChunks()) read.characterLimit = total;
    return read;
  }
  return Unparsed();  // a node type that holds no value
}

}  // namespace

std::string ReadTextPointer(std::span<const uint8_t> pointer, const CDatabaseFile& file,
                            const LobReadOptions& options) {
  if (pointer.size() < 16) return {};
  LobWalk walk;
  Link link{{U16(pointer, 12), I32(pointer, 8)}, U16(pointer, 14)};
  const NodeRead read = GatherLinkedNode(link, file, options, walk);
  std::string text = WalkText(walk, options.ansiCodePage);
  if (read.characterLimit) CutToCharacters(text, *read.characterLimit);
  if (read.found && text.empty()) return " ";
  return text;
}

std::string ReadComplexValue(std::span<const uint8_t> value, const CDatabaseFile& file,
                             const LobReadOptions& options) {
  constexpr size_t kHeader = 12;
  constexpr size_t kLinkSize = 12;
  LobWalk walk;
  for (size_t offset = kHeader; offset + kLinkSize <= value.size() && !options.stop.stopRequested(); offset += kLinkSize) {
    if (I32(value, offset) <= 0) continue;
    uint16_t file_id = U16(value, offset + 8);
    if (file_id > kLastRealFileId) file_id = 1;
    Link link{{file_id, I32(value, offset + 4)}, U16(value, offset + 10)};
    GatherLinkedNode(link, file, options, walk);
  }
  return WalkText(walk, options.ansiCodePage);
}

}  // namespace quill
