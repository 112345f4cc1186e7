// A SQLite database, "<database>.sqlite": one table per recovered table
// with the source column names, declared types that give SQLite affinities
// (INTEGER, REAL, NUMERIC, TEXT, BLOB), rows inserted in transactions of
// thousands, and a table recovery_report(object, page, slot, what, why)
// listing what was skipped or damaged.
#pragma once

#include <memory>
#include <string>

#include "export/table_exporter.h"

namespace quill {

std::unique_ptr<TableExporter> MakeSqliteExporter(const std::string& folder, const std::string& file_name,
                                                  const ExportFormatOptions& options);

// The SQLite table name of a recovered table: its name for the dbo schema,
// "schema.name" for the others.
std::string SqliteTableName(const ExportTableShape& table);

// The declared SQLite type of a column (decides its affinity): INTEGER for
// integers and bit, REAL for floats, NUMERIC for decimals of up to 15
// digits and smallmoney, BLOB for binary values, TEXT for the rest (money
// and wider decimals included, so that they stay exact).
const char* SqliteDeclaredType(const ExportColumn& column);

}  // namespace quill
