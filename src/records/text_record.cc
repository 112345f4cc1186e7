#include "records/text_record.h"

#include <algorithm>

#include "common/little_endian.h"
#include "records/text_mix_page.h"

namespace quill {

namespace {
constexpr int32_t kNodeOffset = 4;
constexpr int32_t kNodeHeadSize = 10;  // blob id and node type
}  // namespace

TextRecord::TextRecord(std::span<const uint8_t> bytes, uint16_t max_length) {
  const int32_t limit = static_cast<int32_t>(std::min<size_t>(bytes.size(), max_length));
  if (limit < 4) {
    Reject(Rejected::kTextRecordTooShort, limit, -1, "record length");
    return;
  }
  kind = (bytes[0] >> 1) & 7;
  hasNullBitmap = (bytes[0] & kStatusNullBitmap) != 0;
  hasVarColumns = (bytes[0] & kStatusVariableColumns) != 0;
  maxLength = max_length;
  const int32_t record_length = LoadLittleEndianUnchecked<uint16_t>(bytes.data() + 2);
  const int32_t node_length = record_length - kNodeOffset;
  dataLength = static_cast<int16_t>(node_length >= kNodeHeadSize ? record_length - 14 : node_length);
  if (node_length <= 0 || node_length >= max_length || kNodeOffset + node_length > limit) return;
  data = bytes.subspan(kNodeOffset, static_cast<size_t>(node_length));
  if (node_length >= kNodeHeadSize) {
    blobIdLow = LoadLittleEndianUnchecked<uint32_t>(data.data());
    blobIdHigh = LoadLittleEndianUnchecked<uint32_t>(data.data() + 4);
    nodeType = LoadLittleEndianUnchecked<uint16_t>(data.data() + 8);
  }
}

TextMixPage::TextMixPage(PageBuffer buffer, const CDatabaseFile* file,
                         const RecordParseOptions& options)
    : RecordPage(std::move(buffer), file, options) {
  if (!slotOffsets_) return;
  records_.reserve(slotOffsets_->size());
  for (uint16_t offset : *slotOffsets_) {
    if (options_.aborted()) break;
    if (offset == 0 || offset >= kPageSize) {
      records_.push_back(nullptr);
      continue;
    }
    records_.push_back(std::make_unique<TextRecord>(data().subspan(offset),
                                                    static_cast<uint16_t>(kPageSize - offset)));
  }
}

}  // namespace quill
