// Reads chosen columns of one SharePoint content table (Webs, AllLists,
// AllDocs, ...) page by page through the display row builder, with the page
// source of the recovery mode.
#pragma once

#include <string>
#include <vector>

#include "catalog/system_catalog.h"
#include "pages/database_file.h"
#include "values/read_options.h"

namespace quill {

// One row of a content table: the cells of the requested columns, in the
// order asked for ("" for a column the table lacks), and the row's first
// cell (that of its first column with stored data).
struct ContentRow {
  std::string firstCell;
  std::vector<std::string> cells;
};

struct ContentTableRows {
  bool found = false;  // a user table of that name was resolved
  std::vector<ContentRow> rows;
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
