// Reads the catalog of an opened database from its system base tables.
#pragma once

#include <memory>

#include "catalog/system_catalog.h"
#include "pages/database_file.h"
#include "pages/system_objects.h"
#include "records/boot_page.h"
#include "values/read_options.h"

namespace quill {

// Builds the catalog of `file` (opened and mapped): the boot page (database
// name, version, and the database collation by `collation`, kept in
// catalog->boot), the data file list and the secondary files it names, then
// the system tables in a fixed order, parsed with options.parse.
// catalog->isSql2000 is set when no sysschobjs row can be read (the SQL
// Server 2000 layout is then used) and cleared otherwise; when no system
// page was mapped at all it keeps options.parse.isSql2000 (a snapshot's
// flag). Stops between steps when a stop is requested and returns what was
// read.
std::unique_ptr<SystemCatalog> LoadCatalog(CDatabaseFile& file, const ReadOptions& options,
                                           const CollationChoice& collation);

}  // namespace quill
