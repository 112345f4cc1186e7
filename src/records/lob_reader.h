// Reading large values: from a record's reference (a 16-byte text pointer,
// or an in-row root / row-overflow pointer listing 12-byte links) through
// the node tree in text pages to the value's text, or to its raw bytes as a
// list of chunks (for xml, which is decoded whole).
//
// In-row text pointer (16 bytes): 0 timestamp, 8 int32 page id,
//   12 uint16 file id, 14 uint16 slot.
// In-row root / row-overflow pointer: a 12-byte header, then links of 12
//   bytes to the end: 0 int32 size, 4 int32 page id, 8 uint16 file id,
//   10 uint16 slot.
//
// Walks are bounded: a link back to a node already read for this value
// ends that branch, nesting is limited, and a value stops growing at 2 GiB.
#pragma once

#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "common/stop_token.h"

namespace quill {

class CDatabaseFile;

// Raw bytes of one node, in node order.
struct LobChunk {
  std::vector<uint8_t> bytes;
};

struct LobReadOptions {
  bool binary = false;   // hex text
  bool variant = false;  // sql_variant: base type byte, value 8 bytes further
  bool unicode = false;  // ntext / nvarchar(max): always UTF-16
  int32_t ansiCodePage = 1252;
  // When set, data is collected here (nodes under 8192 bytes) instead of
  // being turned into text.
  std::vector<LobChunk>* chunks = nullptr;
  StopToken stop;  // ends the link walks early
};

// The text of the value a text pointer addresses: empty when the node
// cannot be read, " " when it was read but gave no text.
std::string ReadTextPointer(std::span<const uint8_t> pointer, const CDatabaseFile& file,
                            const LobReadOptions& options);

// The text of an in-row root or row-overflow value: its linked nodes' texts
// in order. Links of size 0 or less are skipped; a file id above 1000 reads
// as file 1.
std::string ReadComplexValue(std::span<const uint8_t> value, const CDatabaseFile& file,
                             const LobReadOptions& options);

namespace lob_internal {

// State of one value's walk.
struct LobWalk {
  std::set<std::tuple<uint16_t, int32_t, uint16_t>> visited;  // (file, page, slot)
  uint64_t produced = 0;  // bytes of text and chunks so far
  int depth = 0;
};

// The text of one node (`node` = record bytes 4..R-1, `length` = the
// record's dataLength).
std::string DecodeLobNode(std::span<const uint8_t> node, int32_t length, const CDatabaseFile& file,
                          const LobReadOptions& options, LobWalk& walk);

}  // namespace lob_internal

}  // namespace quill
