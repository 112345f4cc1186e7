#include "row_comparison.h"

#include <fmt/format.h>

#include <cstring>

namespace quill::sweep {

namespace {

constexpr size_t kSamples = 5;
constexpr size_t kSampleText = 160;

}  // namespace

uint64_t PlaceKey(PageAddress page, uint32_t slot) {
  return (uint64_t{page.fileId} << 48) | (uint64_t{static_cast<uint32_t>(page.pageId)} << 16) | (slot & 0xFFFF);
}

Baseline MakeBaseline(const DatabaseRows& rows, const std::vector<uint8_t>& source) {
  constexpr size_t kPageSize = 8192;
  constexpr uint8_t kDataPage = 1;
  Baseline baseline;
  baseline.rows = rows.rows.size();
  for (const PlacedRow& row : rows.rows) {
    ++baseline.textCounts[row.text];
    baseline.rowPlaces.insert(PlaceKey(row.page, row.slot));
  }
  for (size_t page = 0; page < source.size() / kPageSize; ++page) {
    const uint8_t* header = source.data() + page * kPageSize;
    uint32_t own_id = 0;
    uint16_t slot_count = 0;
    std::memcpy(&own_id, header + 32, 4);
    std::memcpy(&slot_count, header + 22, 2);
    if (header[0] != 1 || header[1] != kDataPage || own_id != page) continue;
    for (uint32_t slot = 0; slot < slot_count; ++slot) {
      baseline.recordPlaces.insert(PlaceKey({1, static_cast<int32_t>(page)}, slot));
    }
  }
  return baseline;
}

RowCounts CompareRows(const Baseline& baseline, const DatabaseRows& damaged, const std::set<int64_t>& touched) {
  RowCounts counts;
  std::unordered_map<std::string, uint32_t> used;
  for (const PlacedRow& row : damaged.rows) {
    const auto known = baseline.textCounts.find(row.text);
    if (known != baseline.textCounts.end()) {
      uint32_t& times = used[row.text];
      if (times < known->second) {
        ++times;
        ++counts.recovered;
        continue;
      }
    }
    const uint64_t place = PlaceKey(row.page, row.slot);
    if (row.page.fileId == 1 && touched.contains(row.page.pageId)) {
      ++counts.touched;
    } else if (baseline.rowPlaces.contains(place)) {
      ++counts.changed;
    } else if (baseline.recordPlaces.contains(place)) {
      ++counts.record;
    } else {
      ++counts.elsewhere;
      if (counts.elsewhereSamples.size() < kSamples) {
        counts.elsewhereSamples.push_back(fmt::format("{} {}:{}:{} {}", row.table, row.page.fileId, row.page.pageId,
                                                      row.slot, row.text.substr(0, kSampleText)));
      }
    }
  }
  return counts;
}

}  // namespace quill::sweep
