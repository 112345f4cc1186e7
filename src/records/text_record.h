// Large-object storage: values of text, ntext, image, xml and the
// max-length types, and values pushed out of their row, live in text pages
// as a tree of nodes, one node per record.
//
// Text record (offsets from the record start):
//   0  uint8   status byte A (kind 4: text or image fragment)
//   1  uint8   status byte B
//   2  uint16  record length R
//   4  int64   blob id        } the node starts at record offset 4:
//   12 uint16  node type      } blob id at node offset 0, type at 8
//   14         node body, to R
//
// Nodes (offsets from the node start, record offset 4):
//   type 0  small root:  10 uint16 value length n (1..8192), 16 the n bytes
//   type 2  internal:    12 uint16 link count m, 16 m links of 16 bytes:
//                        8 int32 page id, 12 uint16 file id, 14 uint16 slot
//   type 3  data:        10 the value bytes, to the end of the record
//   type 5  large root   (4 and 6 read the same way): 12 uint16 link count
//                        m, 20 m links of 12 bytes: 0 int32 size,
//                        4 int32 page id, 8 uint16 file id, 10 uint16 slot
#pragma once

#include <cstdint>
#include <span>

#include "records/record.h"

namespace quill {

inline constexpr int32_t kLobNodeSmallRoot = 0;
inline constexpr int32_t kLobNodeInternal = 2;
inline constexpr int32_t kLobNodeData = 3;
inline constexpr int32_t kLobNodeLargeRoot = 5;
inline constexpr int32_t kLobNodeNone = 8;

// One node record of a text page. Its data is a view into the page.
class TextRecord : public CRecord {
 public:
  // `bytes` runs from the record start to the end of the page; at most
  // `max_length` of them belong to the record.
  TextRecord(std::span<const uint8_t> bytes, uint16_t max_length);
  ~TextRecord() override = default;

  // Bytes 4 .. R-1 of the record (the node); empty when R - 4 is 0 or less
  // or does not fit.
  std::span<const uint8_t> data;
  // R - 14 when the node has its 10-byte head, else R - 4.
  int16_t dataLength = 0;
  uint32_t blobIdLow = 0;
  uint32_t blobIdHigh = 0;
  int32_t nodeType = kLobNodeNone;
};

}  // namespace quill
