// The rows of one data page of a table as text cells: one row per selected
// record, one cell per table column.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "pages/database_file.h"
#include "schema/column_descriptor.h"
#include "values/read_options.h"
#include "values/row.h"
#include "values/typed_value.h"

namespace quill {

// The table whose page rows are read, as the row builders need it.
struct PageRowsTable {
  // The table's columns, which the rows refer to. The builders only read
  // them, so threads may share one table.
  const std::vector<ColumnDescriptor>& descriptors;
  int32_t objectId = 0;      // its object id (SQL Server 2000 files)
  uint64_t allocUnitId = 0;  // its in-row data unit; 0 when unknown
  bool hasLayoutRows = false;  // its rowset has layout rows (sysrscols)
  // The most columns a record of the table can count: the larger of its
  // layout rows and its columns.
  size_t storedColumnCount = 0;
};

enum class RowsFor {
  kDisplay,  // the record list: NULL cells, placeholders while the table display runs
  kCatalog,  // module texts from system tables: large values always read, no NULL texts
  // As kDisplay, but a large value stored outside the row is not read: its
  // cell holds the reference (text pointer, in-row root or row-overflow
  // pointer) for a reader that streams the value itself.
  kLargeValueReferences,
};

// Which records of a page give rows.
enum class RecordFilter {
  kAll,
  // Only records that hold what they claim of the table's columns: the
  // bytes of every fixed-length column they include, no NULL in a NOT NULL
  // column, and no more columns than the table's records have. For pages
  // found by the object id in their headers alone, where a record that does
  // not fit the table is not one of its rows.
  kWholeRecords,
};

// Cells of kLargeValueReferences rows that hold a reference start with this
// prefix, followed by the reference's raw bytes.
inline constexpr char kLargeValueReferencePrefix[] = "\x01ref:";

// The reference bytes of such a cell; empty for any other cell.
inline std::string_view LargeValueReferenceOf(const std::string& cell) {
  constexpr std::string_view prefix(kLargeValueReferencePrefix);
  if (cell.size() <= prefix.size() || cell.compare(0, prefix.size(), prefix) != 0) return {};
  return std::string_view(cell).substr(prefix.size());
}

// The rows of the data page at `address` for `table` (its descriptors, its
// rowset's layout rows, its allocation unit), read with `options` (the
// table's columns join options.parse as the current table, against which
// compressed records are expanded). Nothing for a page that cannot
// be read, is not a data page, or belongs to another allocation unit (the
// page maps key pages by bits 16..47 of a unit id only, so a table's list can
// hold pages of another unit with the same key). The record layout builder is
// used with the 2005+ catalog when the rowset has layout rows, the plain
// builder otherwise. The rows refer to table.descriptors.
//
// A record shorter than the table (written before columns were added) gives
// its missing columns the descriptor's addedColumnValue, else NULL (an
// empty cell for RowsFor::kCatalog). A heap row moved to another page is
// given once: through its forwarding stub when stub and moved record point
// at each other, where the moved record lies otherwise; a stub whose
// record is lost gives no row.
std::vector<Row> ReadPageRows(PageAddress address, const CDatabaseFile& file, const PageRowsTable& table,
                              const ReadOptions& options, RowsFor purpose = RowsFor::kDisplay);

// The same rows, in the same order, handed to `visit` one at a time without
// a copy: the row passed holds the current record's values until the next
// call. For readers that keep only a few cells of each row.
void VisitPageRows(PageAddress address, const CDatabaseFile& file, const PageRowsTable& table,
                   const ReadOptions& options, const std::function<void(const Row&)>& visit,
                   RowsFor purpose = RowsFor::kDisplay, RecordFilter filter = RecordFilter::kAll);

// Where a visited row came from on its page.
struct RowPlace {
  PageAddress page;    // the page read (a forwarded row's listing page)
  size_t slot = 0;     // position in the page's record list (slots, then records found in free space)
  size_t ordinal = 0;  // position among the rows handed out for the page (0, 1, ...)
  // A deleted record: a ghost in its slot (by its kind: isGhost is cleared
  // while deleted rows are shown), or one the deleted-record search found
  // in the page's free space.
  bool deleted = false;
};

// The same, telling the visitor where each row came from.
void VisitPlacedPageRows(PageAddress address, const CDatabaseFile& file, const PageRowsTable& table,
                         const ReadOptions& options, const std::function<void(const Row&, const RowPlace&)>& visit,
                         RowsFor purpose = RowsFor::kDisplay, RecordFilter filter = RecordFilter::kAll);

// What became of one page handed to VisitTypedPageRows.
enum class PageRowsStatus {
  kRead,          // a data page of the table: its rows were visited
  kUnreadable,    // the page could not be read
  kNotDataPage,   // the page read is not a data page
  kOtherObject,   // a data page of another allocation unit or object
};

using TypedRowVisitor =
    std::function<void(const Row& row, const std::vector<TypedValue>& cells, const RowPlace& place)>;

// The rows of VisitPageRows, each also as lossless typed cells (one per
// column of table.descriptors, NULL for columns without stored data), for
// writers that carry values out of the program. Large values are cut short
// only while the table display runs, as for the record list. Without
// `typed` the cells stay empty (readers that want the texts and the page
// status only).
PageRowsStatus VisitTypedPageRows(PageAddress address, const CDatabaseFile& file, const PageRowsTable& table,
                                  const ReadOptions& options, const TypedRowVisitor& visit, bool typed = true,
                                  RecordFilter filter = RecordFilter::kAll);

}  // namespace quill
