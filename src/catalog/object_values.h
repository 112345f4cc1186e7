// The stored values of objects: the rows of sysobjvalues (object 60), or of
// syscomments (object 6) in SQL Server 2000 files, read as ordinary table
// rows and kept as ObjectValueEntry triples (object id, sub-object id,
// value as "0x" hexadecimal text). Definitions of modules, defaults and
// check constraints, and the stored texts of table columns without data in
// the records, are assembled from these triples.
#pragma once

#include <cstdint>
#include <vector>

#include "catalog/schema_model.h"
#include "catalog/system_catalog.h"
#include "common/output_line.h"
#include "common/progress_sink.h"
#include "pages/database_file.h"
#include "values/read_options.h"
#include "pages/system_objects.h"

namespace quill {

inline constexpr char kRetrievingObjectValues[] =
    "Retrieving Objects of Sysobjvalues System Tables...........";
inline constexpr char kRetrievingObjectValuesDone[] =
    "Retrieving  Objects of Sysobjvalues System Tables has been done...........";

// The columns sysobjvalues rows are read with: valclass, objid, subobjid,
// valnum, value, imageval. They carry no layout; the plain row builder
// walks the fixed and variable parts in column order.
std::vector<ColumnDescriptor> ObjectValueColumns();
// The columns syscomments rows are read with when the catalog gives none:
// id, number, colid, status, ctext.
std::vector<ColumnDescriptor> LegacyCommentColumns();

// Reads every page of sysobjvalues (syscomments when options.parse.isSql2000) through
// the plain row builder with the catalog's current descriptor list as the
// columns, and appends one triple per row to `target`: in SQL Server 2000 files
// cells 0, 1 and 4 (empty when the row has no fifth cell), otherwise cells
// 1, 2 and the last cell. Pages that cannot be read are skipped; the stop
// flag ends the read after the current page, keeping what was read. Writes
// the two "Retrieving ..." lines and moves the progress over the pages.
void ReadObjectValueRows(SystemCatalog& catalog, const CDatabaseFile& file, const ReadOptions& options,
                         std::vector<ObjectValueEntry>& target, const OutputLine& output,
                         ProgressSink& progress);

// The stored values read at the end of a scan: empties the current table's
// column rows, installs the sysobjvalues columns, reads the rows, and
// leaves the descriptor list empty. In SQL Server 2000 files the columns are those
// the catalog gives syscomments (resolved as a system table), or the
// syscomments columns above when it gives none, so that the read never
// depends on whichever table was resolved last.
std::vector<ObjectValueEntry> LoadObjectValues(SystemCatalog& catalog, const CDatabaseFile& file,
                                               const ReadOptions& options, const OutputLine& output,
                                               ProgressSink& progress);

}  // namespace quill
