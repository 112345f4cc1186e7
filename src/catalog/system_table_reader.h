// Walks the records of one system base table: every data page the mapping
// pass filed under the table's object id (among the system pages, or among
// the data pages for a table it does not file as a system table), every
// slot record of it.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "common/status.h"

#include "pages/database_file.h"
#include "records/data_page.h"
#include "records/record_parse_options.h"

namespace quill {

enum class IndexRecords { kKeep, kSkip };

// A page filed under a system table that gave none of its records: the
// table's object id and why (the page read's reason, or the page's own:
// a slot count out of range, a negative header field).
struct SystemPageFailure {
  int32_t objectId = 0;
  Status reason;
};

// Calls `on_record` for each record of object `object_id`, page by page in
// map order and slot by slot, skipping absent records, large-object
// fragments (kind 4) and, with IndexRecords::kSkip, index records (kind 3).
//
// Only data pages (type 1) whose header index id is below 256 are read: the
// mapping pass files pages by header object id alone, and in 2005+ files
// that id is only bits 16..47 of an allocation unit id, so IAM pages and
// pages of ordinary allocation units (index id 256 and above) can carry a
// system table's id. System table pages carry index ids 0 to 4 (255 on the
// large-object pages of object 60).
//
// Returns without reading anything when no system page was mapped at all.
// Pages are parsed with `options`; stops after the current record when a
// stop is requested. A page that cannot be read, or whose header leaves no
// records to read, is noted in `failures` when given; an empty page (slot
// count 0) is not a failure.
void ReadSystemTable(const CDatabaseFile& file, int32_t object_id, IndexRecords index_records,
                     const RecordParseOptions& options,
                     const std::function<void(const CPrimaryRecord&, const CDataPage&)>& on_record,
                     std::vector<SystemPageFailure>* failures = nullptr);

}  // namespace quill
