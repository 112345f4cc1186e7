// The pages the record list reads for the resolved table, by recovery mode.
#pragma once

#include "catalog/system_catalog.h"
#include "common/application_state.h"
#include "pages/database_file.h"
#include "pages/table_page_list.h"

namespace quill {

// "Standard Mode": the table's IAM chain or next-page chain from its
// allocation unit (the SQL Server 2000 catalog: from its sysindexes row),
// nothing when the catalog's entry of that unit names no page (an empty
// table); "Advanced Mode", or when the allocation structures give no page:
// the pages the object page map files under the table (catalog.current).
TablePageList CurrentTablePages(const SystemCatalog& catalog, const CDatabaseFile& file,
                                const ApplicationState& state);

}  // namespace quill
