// Reads the catalog of an opened database from its system base tables.
#pragma once

#include <memory>

#include "catalog/system_catalog.h"
#include "pages/database_file.h"
#include "records/boot_page.h"
#include "values/read_options.h"

namespace quill {

// Object ids of the system base tables read here.
inline constexpr int32_t kSysObjects2000 = 1;
inline constexpr int32_t kSysIndexes2000 = 2;
inline constexpr int32_t kSysColumns2000OrRsCols = 3;
inline constexpr int32_t kSysRowsetColumnMap2005 = 4;
inline constexpr int32_t kSysRowsets = 5;
inline constexpr int32_t kSysAllocUnits = 7;
inline constexpr int32_t kSysFiles1 = 8;
inline constexpr int32_t kSysSeObjValues = 9;
inline constexpr int32_t kSysHobtColumns2005 = 13;
inline constexpr int32_t kSysSchObjs = 34;
inline constexpr int32_t kSysColPars = 41;
inline constexpr int32_t kSysScalarTypes = 50;
inline constexpr int32_t kSysIdxStats = 54;
inline constexpr int32_t kSysIsCols = 55;
inline constexpr int32_t kSysSingleObjRefs = 74;
inline constexpr int32_t kSysColParsMore = 2187;

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
