// The pages the record list reads for the resolved table, by recovery mode,
// and the table as their row builders see it.
#pragma once

#include "catalog/system_catalog.h"
#include "pages/database_file.h"
#include "records/table_page_list.h"
#include "values/page_rows.h"
#include "values/read_options.h"

namespace quill {

// "Standard Mode": the table's IAM chain or next-page chain from its
// allocation unit (the SQL Server 2000 catalog: from its sysindexes row),
// nothing when the catalog's entry of that unit names no page (an empty
// table); "Advanced Mode", or when the allocation structures give no page:
// the pages the object page map files under the table (catalog.current).
// The IAM pages are parsed with options.parse.
TablePageList CurrentTablePages(const SystemCatalog& catalog, const CDatabaseFile& file,
                                const ReadOptions& options);

// The resolved table for ReadPageRows and VisitPageRows: its descriptors,
// object id, allocation unit and layout rows.
PageRowsTable CurrentTableRows(const CurrentTable& table);

}  // namespace quill
