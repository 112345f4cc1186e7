// Reading large values: from a record's reference (a 16-byte text pointer,
// or an in-row root / row-overflow pointer listing 12-byte links) through
// the node tree in text pages to the value's text, or to its raw bytes as a
// list of chunks (for xml, which is decoded whole). The bytes of all nodes
// are gathered first and turned into text once, so a character whose bytes
// are split between two nodes reads whole.
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
#include <functional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "common/status.h"
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
  // When set (and `chunks` is not), each node's bytes are handed here as
  // they are read, in node order, and nothing is kept: a value of any size
  // passes through with one node in memory.
  const std::function<void(std::span<const uint8_t>)>* chunkSink = nullptr;
  // When set, receives the first node the walk could not read (a page that
  // cannot be read, a missing slot, a node that does not parse, a link back
  // to a node already read, nesting too deep), placed at that node; the
  // walk goes on with the next link either way.
  Status* failure = nullptr;

  bool collectsChunks() const { return chunks != nullptr || chunkSink != nullptr; }
};

// The text of the value a text pointer addresses: empty when the node
// cannot be read, " " when it was read but gave no text.
std::string ReadTextPointer(std::span<const uint8_t> pointer, const CDatabaseFile& file,
                            const LobReadOptions& options);

// The text of an in-row root or row-overflow value: the bytes of its linked
// nodes in order, as one text. Links of size 0 or less are skipped; a file
// id above 1000 reads as file 1.
std::string ReadComplexValue(std::span<const uint8_t> value, const CDatabaseFile& file,
                             const LobReadOptions& options);

}  // namespace quill
