// Compares the rows read from a damaged copy with those of the undamaged
// file. A row whose text the undamaged file gave (as often as it gave it)
// is recovered. Any other row is foreign, and is sorted by where it came
// from:
//   touched    its page is one the damage reached;
//   changed    its page is untouched and the undamaged file gave a row at
//              the same page and slot: the record's bytes are the same, so
//              what changed is read from elsewhere (the catalog, the boot
//              page's collation, large-value or forwarded-record pages);
//   record     its page is untouched and holds a record in that slot in the
//              undamaged file (a data page whose header names the page
//              itself, the slot below its slot count), which the undamaged
//              file does not show as this row: a real record read for
//              another table or from a page the allocation structures did
//              not list (a system table's page, a stale page), because the
//              damage changed the catalog or the page lists;
//   elsewhere  none of these: a row where the file holds no record. Must
//              not be.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "database_rows.h"

namespace quill::sweep {

struct Baseline {
  uint64_t rows = 0;
  std::unordered_map<std::string, uint32_t> textCounts;
  std::unordered_set<uint64_t> rowPlaces;     // PlaceKey of each row
  std::unordered_set<uint64_t> recordPlaces;  // PlaceKey of each record slot of the file
};

uint64_t PlaceKey(PageAddress page, uint32_t slot);

// The rows of the undamaged file and its record slots (primary file
// image `source`).
Baseline MakeBaseline(const DatabaseRows& rows, const std::vector<uint8_t>& source);

struct RowCounts {
  uint64_t recovered = 0;
  uint64_t touched = 0;
  uint64_t changed = 0;
  uint64_t record = 0;
  uint64_t elsewhere = 0;
  std::vector<std::string> elsewhereSamples;  // the first few, as "table page:slot text"
};

// `touched`: the source pages the damage reached (primary file, file id 1).
RowCounts CompareRows(const Baseline& baseline, const DatabaseRows& damaged, const std::set<int64_t>& touched);

}  // namespace quill::sweep
