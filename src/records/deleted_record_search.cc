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
// and, on any table, for a record start of the page's own shape: a status
// byte of a data or ghost data record with a null bitmap, status B 0 or 1,
// and a fixed end offset equal to the header's minimum record length (the
// fixed part every record of the page's table has).
//
// A candidate is kept only when it parses whole as a record, ends before
// the slot array, and does not start inside a record a slot points to.
// Found records are appended to the slots read from the page.
#include <algorithm>
#include <bitset>

#include "records/record_page.h"

namespace quill {

namespace {

constexpr int32_t kMarkerSize = 4;
constexpr int32_t kSearchEnd = kSlotArrayEnd;

constexpr uint8_t kStatusKindBits = 0x0E;
constexpr uint8_t kStatusNullBitmap = 0x10;
constexpr uint8_t kStatusUnusedBit = 0x80;
constexpr int32_t kSlotSize = 2;

bool MarkerAt(std::span<const uint8_t, kPageSize> page, int32_t position) {
  if (position < 0 || position + kMarkerSize > static_cast<int32_t>(kPageSize)) return false;
  const uint8_t* p = page.data() + position;
  return (p[0] == 0x30 || p[0] == 0x3C) && p[1] == 0x00 && p[2] == 0x84 && p[3] == 0x00;
}

// A record start of the page's shape (see above); `min_length` 0 or less
// disables the test.
bool ShapedStartAt(std::span<const uint8_t, kPageSize> page, int32_t position, int32_t min_length) {
  if (min_length < kMarkerSize || position < 0 || position + kMarkerSize > static_cast<int32_t>(kPageSize)) {
    return false;
  }
  const uint8_t* p = page.data() + position;
  const int kind = (p[0] & kStatusKindBits) >> 1;
  if ((kind != kRecordKindPrimary && kind != kRecordKindGhostData) || (p[0] & kStatusNullBitmap) == 0 ||
      (p[0] & kStatusUnusedBit) != 0 || p[1] > 1) {
    return false;
  }
  return (p[2] | (p[3] << 8)) == min_length;
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
  const int32_t min_length = header().minRecordLength;
  const int32_t body_end =
      std::min<int32_t>(kSearchEnd, static_cast<int32_t>(kPageSize) - kSlotSize * slotCount_);
  auto start_at = [&](int32_t at) { return MarkerAt(data(), at) || ShapedStartAt(data(), at, min_length); };
  // Bytes covered by the records the slots point to: no record starts there.
  std::bitset<kPageSize> in_slot_record;
  for (uint16_t offset : found) {
    if (offset < kPageHeaderSize || offset >= kPageSize) continue;
    int32_t end = -1;
    { CPrimaryRecord probe(CPrimaryRecord::ProbeRecord{}, page_context, data().subspan(offset), end); }
    if (end <= 0) {
      // The probe reads the plain layout only; a compressed record a slot
      // points to covers its bytes just the same.
      const CPrimaryRecord record(CPrimaryRecord::SlotRecord{}, data().subspan(offset), page_context,
                                  static_cast<uint16_t>(kPageSize - offset), /*resolve_stubs=*/false);
      if (!record.notShown()) end = record.recordEnd;
    }
    for (int32_t i = offset + 1; end > 0 && i < offset + end && i < static_cast<int32_t>(kPageSize); ++i) {
      in_slot_record.set(static_cast<size_t>(i));
    }
  }
  // The record's column count is not compared with the table's: records keep
  // the values of dropped columns (eftours-2012 Guest: 3 columns in the
  // records, 2 in the catalog).
  auto acceptable = [&](int32_t at, int32_t end) {
    return at + end <= body_end && !in_slot_record.test(static_cast<size_t>(at));
  };
  int32_t position = static_cast<int32_t>(kPageHeaderSize);
  int32_t last_marker = 0;
  // Every round either moves past a parsed record or scans forward at least
  // one byte, so the search ends after at most 8190 - 96 rounds.
  while (position < kSearchEnd && !options_.aborted()) {
    int32_t end = -1;
    { CPrimaryRecord probe(CPrimaryRecord::ProbeRecord{}, page_context, data().subspan(position), end); }
    if (end > 0 && (is_slot_on_page.test(static_cast<size_t>(position)) || acceptable(position, end))) {
      if (!is_slot_on_page.test(static_cast<size_t>(position))) found.push_back(static_cast<uint16_t>(position));
      position += end;
      if (position < static_cast<int32_t>(kPageSize) && !start_at(position)) continue;
    }
    // Marker scan: the next typical row start after this position.
    if (position == last_marker) ++position;
    while (position < kSearchEnd && !options_.aborted() && !start_at(position)) ++position;
    if (position >= kSearchEnd || options_.aborted()) break;
    last_marker = position;
  }
  slotOffsets_ = std::move(found);
  slotCount_ = static_cast<int32_t>(slotOffsets_->size());
}

}  // namespace quill
