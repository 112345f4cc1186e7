// Allocation bitmap pages.
//
// ExtentAllocationMap: a page whose second record holds a bitmap of extents
// (eight-page units) of one 511232-page interval of a file; bit j (least
// significant first) of byte i stands for extent 8 * i + j of the interval.
//
// IamPage: the index allocation map of one allocation unit. Its first record
// (the IAM header) holds eight single-page slots, pages allocated to the unit
// one by one before it got whole extents; its second record is the extent
// bitmap. IAM pages of one unit are chained through the header's next page.
//
// IAM header record, offsets from the end of the 4-byte record header (that
// is, into the record's fixed data):
//   42, 48, 54, 60, 66, 72, 78, 84   single-page slots: int32 page id,
//                                    uint16 file id
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "pages/page_address.h"
#include "records/record_page.h"

namespace quill {

inline constexpr int32_t kExtentsPerInterval = 63904;
inline constexpr int32_t kPagesPerInterval = kExtentsPerInterval * 8;  // 511232
inline constexpr int32_t kMaxBitmapBytes = 7988;
static_assert(kMaxBitmapBytes * 8 == kExtentsPerInterval);

class ExtentAllocationMap : public PrimaryRecordPage {
 public:
  // Parses the page's records and reads the extent bitmap of record 1.
  ExtentAllocationMap(PageBuffer buffer, const CDatabaseFile* file, const RecordParseOptions& options);
  ~ExtentAllocationMap() override = default;

  // One flag per extent of the interval, bitCount of them filled.
  const std::vector<uint8_t>& bits() const { return bits_; }
  int32_t bitCount() const { return bitCount_; }
  int32_t setCount = 0;  // set flags counted by the last extent listing

 private:
  std::vector<uint8_t> bits_;
  int32_t bitCount_ = 0;
};

class IamPage : public ExtentAllocationMap {
 public:
  static constexpr int kSinglePageSlots = 8;
  static constexpr size_t kFirstSinglePageSlot = 42;
  static constexpr size_t kSinglePageSlotSize = 6;

  IamPage(PageBuffer buffer, const CDatabaseFile* file, const RecordParseOptions& options);
  ~IamPage() override = default;

  // Single-page slots; unused ones read as file 1, page 0.
  const std::array<PageAddress, kSinglePageSlots>& singlePages() const { return singlePages_; }

 private:
  std::array<PageAddress, kSinglePageSlots> singlePages_{};
};

}  // namespace quill
