// The 96-byte header at the start of every 8 KB page.
//
// Layout (little-endian; offsets from the start of the page):
//
//   OFFSET SIZE TYPE    FIELD                     MEANING
//        0    1 uint8   header version            1 on every known file
//        1    1 uint8   page type                 1 data, 2 index, 10 IAM, 13 boot ...
//        2    1 uint8   type flag bits
//        3    1 uint8   level                     B-tree level, 0 = leaf
//        4    2 uint16  flag bits                 0x0100 torn-page bits present,
//                                                 0x0200 page checksum present
//        6    2 uint16  index id                  allocation unit part (2005+)
//        8    4 int32   previous page id          \ previous page in the chain
//       12    2 uint16  previous file id          /
//       14    2 uint16  minimum record length     fixed part of the records
//       16    4 int32   next page id              \ next page in the chain
//       20    2 uint16  next file id              /
//       22    2 uint16  slot count
//       24    4 int32   object id                 (2005+: bits 16-47 of the
//                                                 allocation unit id)
//       28    2 uint16  free byte count
//       30    2 uint16  offset of free data
//       32    4 int32   this page id              the page's own id
//       36    2 uint16  this file id
//       38    2 uint16  reserved byte count
//       40    4 int32   LSN part 1 (file sequence)
//       44    4 int32   LSN part 2 (log block)
//       48    2 int16   LSN part 3 (slot)
//       50    2 uint16  reserved by transaction
//       52    4 uint32  transaction id, low part
//       56    2 int16   transaction id, high part
//       58    2 uint16  ghost record count
//       60    4 uint32  torn-page bits / checksum
//       64   32         not read
//
// Torn-page detection: when flag bit 0x0100 is set, the writer replaced the
// two low bits of the last byte of each 512-byte sector 1..15 with a marker
// and saved the original bits of sector k in bits 2k..2k+1 of the field at
// offset 60. Decoding the header puts them back.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "pages/page_address.h"
#include "pages/page_geometry.h"

namespace quill {

namespace page_header_layout {
inline constexpr size_t kHeaderVersion = 0;
inline constexpr size_t kPageType = 1;
inline constexpr size_t kTypeFlagBits = 2;
inline constexpr size_t kLevel = 3;
inline constexpr size_t kFlagBits = 4;
inline constexpr size_t kIndexId = 6;
inline constexpr size_t kPreviousPageId = 8;
inline constexpr size_t kPreviousFileId = 12;
inline constexpr size_t kMinRecordLength = 14;
inline constexpr size_t kNextPageId = 16;
inline constexpr size_t kNextFileId = 20;
inline constexpr size_t kSlotCount = 22;
inline constexpr size_t kObjectId = 24;
inline constexpr size_t kFreeCount = 28;
inline constexpr size_t kFreeDataOffset = 30;
inline constexpr size_t kThisPageId = 32;
inline constexpr size_t kThisFileId = 36;
inline constexpr size_t kReservedCount = 38;
inline constexpr size_t kLsnPart1 = 40;
inline constexpr size_t kLsnPart2 = 44;
inline constexpr size_t kLsnPart3 = 48;
inline constexpr size_t kReservedByTransaction = 50;
inline constexpr size_t kTransactionIdLow = 52;
inline constexpr size_t kTransactionIdHigh = 56;
inline constexpr size_t kGhostRecordCount = 58;
inline constexpr size_t kTornBits = 60;
inline constexpr size_t kUnread = 64;
static_assert(kTornBits + 4 == kUnread && kUnread + 32 == kPageHeaderSize);
}  // namespace page_header_layout

inline constexpr uint16_t kFlagTornBitsPresent = 0x0100;
inline constexpr uint16_t kFlagChecksumPresent = 0x0200;

// Page types the readers act on.
inline constexpr int32_t kPageTypeData = 1;
inline constexpr int32_t kPageTypeIndex = 2;
inline constexpr int32_t kPageTypeIam = 10;
inline constexpr int32_t kPageTypeBoot = 13;

// The decoded header of one page: a plain value.
class CPage_Header {
 public:
  uint16_t freeCount = 0;
  uint16_t freeDataOffset = 0;
  uint16_t flagBits = 0;
  std::string lsnText;  // "( %d : %d : %d )"
  int32_t objectId = 0;
  int32_t pageType = 0;
  uint16_t minRecordLength = 0;
  uint16_t indexId = 0;
  uint8_t typeFlagBits = 0;
  uint16_t slotCount = 0;
  std::string transactionText;  // "( %d : %d )", high part first
  uint16_t reservedByTransaction = 0;
  uint16_t reservedCount = 0;
  uint8_t level = 0;
  uint8_t headerVersion = 0;
  uint16_t ghostRecordCount = 0;
  uint32_t tornBits = 0;
  PageAddress nextPage;
  PageAddress previousPage;
  PageAddress thisPage;

  // Decodes the header fields of a page.
  static CPage_Header Decode(std::span<const uint8_t, kPageSize> page);

  // Decodes the header and, when flag bit 0x0100 is set, restores the
  // torn-page bits into the page itself; everything that parses the page
  // later sees the restored bytes.
  static CPage_Header DecodeAndRestore(std::span<uint8_t, kPageSize> page);
};

// Puts the saved low bits back into the last byte of sectors 1..15. Sector 0
// holds the header and is left as it is.
void RestoreTornBits(std::span<uint8_t, kPageSize> page, uint32_t torn_bits);

// Cheap reads of single header fields from a raw page, for the passes that
// only need the object id, type and file id.
int32_t HeaderObjectId(std::span<const uint8_t, kPageSize> page);
int32_t HeaderPageType(std::span<const uint8_t, kPageSize> page);
uint16_t HeaderFileId(std::span<const uint8_t, kPageSize> page);
int32_t HeaderPageId(std::span<const uint8_t, kPageSize> page);

}  // namespace quill
