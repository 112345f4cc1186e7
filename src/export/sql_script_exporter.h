// A T-SQL script, "<database>.sql", that recreates what was recovered:
// CREATE TABLE for each table (types, nullability, identity, defaults,
// checks, primary and unique keys), its rows in INSERT batches (inside
// SET IDENTITY_INSERT for identity tables), then the foreign keys of all
// tables and the module definitions as stored. Every batch ends with GO.
#pragma once

#include <memory>
#include <string>

#include "export/table_exporter.h"

namespace quill {

std::unique_ptr<TableExporter> MakeSqlScriptExporter(const std::string& folder, const std::string& file_name,
                                                     const ExportFormatOptions& options);

// The CREATE TABLE batch of one table (keys other than foreign keys inside).
std::string CreateTableScript(const ExportTableShape& table);

}  // namespace quill
