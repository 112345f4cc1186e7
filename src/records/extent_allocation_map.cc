#include "records/extent_allocation_map.h"

#include <algorithm>

#include "common/little_endian.h"

namespace quill {

ExtentAllocationMap::ExtentAllocationMap(PageBuffer buffer, const CDatabaseFile* file,
                                         const RecordParseOptions& options)
    : PrimaryRecordPage(std::move(buffer), file, options) {
  if (options.aborted() || records().size() < 2 || records()[1] == nullptr ||
      records()[1]->fixedData.empty()) {
    return;
  }
  const std::span<const uint8_t> bitmap = records()[1]->fixedData;
  const size_t byte_count = std::min<size_t>(bitmap.size(), kMaxBitmapBytes);
  bits_.assign(kExtentsPerInterval, 0);
  for (size_t i = 0; i < byte_count; ++i) {
    for (int j = 0; j < 8; ++j) bits_[static_cast<size_t>(bitCount_++)] = (bitmap[i] >> j) & 1;
  }
}

IamPage::IamPage(PageBuffer buffer, const CDatabaseFile* file, const RecordParseOptions& options)
    : ExtentAllocationMap(std::move(buffer), file, options) {
  for (auto& slot : singlePages_) slot = {1, 0};
  const CPrimaryRecord* header = records().empty() ? nullptr : records()[0];
  if (header == nullptr || header->fixedData.empty()) return;
  const std::span<const uint8_t> fixed = header->fixedData;
  for (int i = 0; i < kSinglePageSlots; ++i) {
    const size_t offset = kFirstSinglePageSlot + kSinglePageSlotSize * static_cast<size_t>(i);
    if (offset + kSinglePageSlotSize > fixed.size()) break;
    singlePages_[static_cast<size_t>(i)] = {LoadLittleEndianUnchecked<uint16_t>(fixed.data() + offset + 4),
                                            LoadLittleEndianUnchecked<int32_t>(fixed.data() + offset)};
  }
}

}  // namespace quill
