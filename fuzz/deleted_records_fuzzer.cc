// The search for deleted records in a page's free space, run with both
// deleted-record options on. The input is the page (a whole 8192 bytes: a
// shorter input is padded with zeros).
//
// Checked: the slots read from the page come first and unchanged; every
// record found lies after the header, before the slot array, and does not
// start inside a slot's record; found records come in ascending order
// without overlapping; each parses to a record; the search finds the same
// twice.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "pages/page_geometry.h"
#include "records/data_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quill;
  using namespace quill::fuzz;
  if (size > kPageSize) return 0;
  const ExactBytes input(data, size);
  RecordParseOptions with_search;
  with_search.showDeletedRecords = true;
  with_search.showAdvancedDeletedRecords = true;

  const CDataPage plain(PageFromBytes(input.span()), nullptr, RecordParseOptions{});
  const CDataPage searched(PageFromBytes(input.span()), nullptr, with_search);
  const CDataPage again(PageFromBytes(input.span()), nullptr, with_search);
  Require(searched.slotOffsets() == again.slotOffsets(), "the search is deterministic");
  if (!searched.slotOffsets()) return 0;

  const std::vector<uint16_t>& offsets = *searched.slotOffsets();
  const size_t slots = plain.slotOffsets() ? plain.slotOffsets()->size() : 0;
  Require(offsets.size() >= slots, "the search keeps every slot");
  for (size_t i = 0; i < slots; ++i) Require(offsets[i] == (*plain.slotOffsets())[i], "slots come first, unchanged");
  // A header the page's records are refused by (negative counts or
  // addresses) gives no records at all.
  Require(searched.records().size() == offsets.size() || searched.records().empty(),
          "one record entry per slot and found record");
  if (searched.records().empty()) return 0;

  const int64_t slot_array_start = static_cast<int64_t>(kPageSize) - 2 * static_cast<int64_t>(slots);
  int64_t previous_end = 0;
  for (size_t i = slots; i < offsets.size(); ++i) {
    const int64_t offset = offsets[i];
    Require(offset >= static_cast<int64_t>(kPageHeaderSize), "found records lie after the header");
    Require(offset >= previous_end, "found records ascend without overlapping");
    const CPrimaryRecord* record = searched.records()[i];
    if (record == nullptr) continue;
    Require(record->recordEnd > 0, "a found record parses");
    const int64_t end = offset + record->recordEnd;
    Require(end <= slot_array_start, "found records end before the slot array");
    previous_end = end;
    for (size_t s = 0; s < slots; ++s) {
      const CPrimaryRecord* slot_record = searched.records()[s];
      if (slot_record == nullptr || slot_record->notShown()) continue;
      const int64_t start = (*plain.slotOffsets())[s];
      Require(!(offset > start && offset < start + slot_record->recordEnd),
              "a found record does not start inside a slot's record");
    }
  }
  return 0;
}
