// Reads chosen columns of one SharePoint content table (Webs, AllLists,
// AllDocs, ...) page by page through the display row builder, with the page
// source of the recovery mode.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalog/system_catalog.h"
#include "pages/database_file.h"
#include "values/page_rows.h"
#include "values/read_options.h"

namespace quill {

// One row of a content table: the cells of the requested columns, in the
// order asked for ("" for a column the table lacks), and the row's first
// cell (that of its first column with stored data).
struct ContentRow {
  std::string firstCell;
  std::vector<std::string> cells;
  bool deleted = false;  // a ghost record, or one found in free space
};

// Where a row of a content table was read: its page and its position among
// the rows the page gave.
struct ContentRowPlace {
  PageAddress page;
  size_t ordinal = 0;
  // The records the page was read for (pages found by id: whole records).
  RecordFilter filter = RecordFilter::kAll;
};

struct ContentTableRows {
  bool found = false;  // a user table of that name was resolved
  std::vector<ContentRow> rows;
};

// One content table resolved once and read page by page, so that a reader
// can first walk all rows keeping only what it needs and later read single
// rows again by their place. The table is resolved again when another
// object was resolved in between. Rows follow the page source and the
// deleted-row options of `options` (read as the table display reads);
// `purpose` says how large values are given (RowsFor::kLargeValueReferences
// leaves them unread).
class ContentTableCursor {
 public:
  ContentTableCursor(SystemCatalog& catalog, const CDatabaseFile& file, const ReadOptions& options,
                     std::string table, std::vector<std::string> columns, RowsFor purpose = RowsFor::kDisplay);

  bool found() const { return found_; }
  // Whether the table has a column of the name asked for at `index`.
  bool hasColumn(size_t index) const;

  // Every row, in page order (an address listed twice is read once); a
  // stop request ends the walk at the next page or row.
  void ForEachRow(const std::function<void(const ContentRow&, const ContentRowPlace&)>& visit);
  // The row at `place` read again; nothing when the page no longer gives it.
  std::optional<ContentRow> RowAt(const ContentRowPlace& place);

 private:
  bool Resolve(bool force);
  void VisitPage(PageAddress address, RecordFilter filter,
                 const std::function<void(const ContentRow&, const ContentRowPlace&)>& visit);

  SystemCatalog& catalog_;
  const CDatabaseFile& file_;
  ReadOptions options_;
  std::string table_;
  std::vector<std::string> columns_;
  RowsFor purpose_;
  std::vector<int> picked_;
  bool found_ = false;
};

// Resolves the user table `table` (type "U "; a view or other object of
// that name does not count) and reads every row of its pages: in "Standard
// Mode" the pages its allocation structures list (the next-page chain of a
// heap whose IAM pages give no rows; the object page map when it has no IAM
// page), in "Advanced Mode" every page carrying its id. Cells are picked by
// exact column name; among columns of the same name one with stored data
// wins. Read with `options` as the table display reads (tableDisplayActive
// set: large values show placeholders). A stop request ends the reading at
// the next page or row, keeping the rows read so far.
ContentTableRows ReadContentTable(SystemCatalog& catalog, const CDatabaseFile& file,
                                  const ReadOptions& options, const std::string& table,
                                  const std::vector<std::string>& columns);

}  // namespace quill
