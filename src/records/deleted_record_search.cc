// The search for deleted records that no slot points to any more. A deleted
// row's bytes usually stay in the page body until the space is reused; the
// search walks the body from offset 96, parsing a candidate record at each
// position, and where parsing fails scans byte by byte for the start of a
// typical row:
//
//   30 00 84 00   status 0x30 (kind 0, null bitmap, variable columns),
//   3C 00 84 00   status 0x3C (kind 6, the same bits), status B 0,
//                 fixed end offset 132
//
// Found records are appended to the slots read from the page.
#include <bitset>

#include "records/record_page.h"

namespace quill {

namespace {

constexpr int32_t kMarkerSize = 4;
constexpr int32_t kSearchEnd = kSlotArrayEnd;

bool MarkerAt(std::span<const uint8_t, kPageSize> page, int32_t position) {
  if (position < 0 || position + kMarkerSize > static_cast<int32_t>(kPageSize)) return false;
  const uint8_t* p = page.data() + position;
  return (p[0] == 0x30 || p[0] == 0x3C) && p[1] == 0x00 && p[2] == 0x84 && p[3] == 0x00;
}

}  // namespace

void PrimaryRecordPage::SearchDeletedRecords() {
  if (!HeaderAllowsRecords()) return;
  std::vector<uint16_t> found(*slotOffsets_);
  std::bitset<kPageSize> is_slot_on_page;
  for (uint16_t offset : found) {
    if (offset < kPageSize) is_slot_on_page.set(offset);
  }

  const PageContext& page_context = context();
  int32_t position = static_cast<int32_t>(kPageHeaderSize);
  int32_t last_marker = 0;
  // Every round either moves past a parsed record or scans forward at least
  // one byte, so the search ends after at most 8190 - 96 rounds.
  while (position < kSearchEnd && !options_.aborted()) {
    int32_t end = -1;
    { CPrimaryRecord probe(CPrimaryRecord::ProbeRecord{}, page_context, data().subspan(position), end); }
    if (end > 0) {
      if (!is_slot_on_page.test(static_cast<size_t>(position))) found.push_back(static_cast<uint16_t>(position));
      position += end;
      if (position < static_cast<int32_t>(kPageSize) && !MarkerAt(data(), position)) continue;
    }
    // Marker scan: the next typical row start after this position.
    if (position == last_marker) ++position;
    while (position < kSearchEnd && !options_.aborted() && !MarkerAt(data(), position)) ++position;
    if (position >= kSearchEnd || options_.aborted()) break;
    last_marker = position;
  }
  slotOffsets_ = std::move(found);
  slotCount_ = static_cast<int32_t>(slotOffsets_->size());
}

}  // namespace quill
