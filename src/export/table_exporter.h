// The interface every export format implements. One exporter writes the
// tables of one database into one output folder: BeginTable, the rows,
// then EndTable (complete) or DropTable (given up: a write error, a stop,
// an unreadable table); Finish once after the last table. Row cells come
// as the row reader gives them: column k of the shape is cells[columns[k].cellIndex].
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "export/export_table.h"
#include "values/typed_value.h"

namespace quill {

// What the exporters know of the database as a whole, given to Finish.
struct ExportDatabaseShape {
  std::string databaseName;
  std::vector<ExportTableShape> tables;  // those exported, in order
  std::vector<ExportModule> modules;
  std::vector<RecoveryNote> notes;
};

class TableExporter {
 public:
  virtual ~TableExporter() = default;
  // False when the table's output cannot be started; error() says why.
  virtual bool BeginTable(const ExportTableShape& table) = 0;
  // False on a write error; the table is then given up with DropTable.
  virtual bool WriteRow(std::span<const TypedValue> cells) = 0;
  // Makes the table's output complete; false on a write error.
  virtual bool EndTable() = 0;
  // Removes what was written for the table in progress.
  virtual void DropTable() = 0;
  // Writes what comes after all tables (keys, modules, the report) and
  // closes the output; false on a write error.
  virtual bool Finish(const ExportDatabaseShape& database) = 0;
  virtual const std::string& error() const = 0;
  // Files created (relative to the output folder), complete ones only.
  virtual std::vector<std::string> files() const = 0;

  // Formats whose rows are bytes made from the cells alone (the text
  // formats) let the rows of a table be formatted on several threads:
  // FormatRow must then read nothing but the table begun, and
  // WriteFormatted takes the rows' bytes in order, in place of WriteRow.
  virtual bool FormatsRows() const { return false; }
  virtual void FormatRow(std::span<const TypedValue> /*cells*/, std::string& /*out*/) const {}
  virtual bool WriteFormatted(std::string_view /*bytes*/) { return false; }
};

enum class ExportFormat { kCsv, kTsv, kJsonLines, kSql, kSqlite };

struct ExportFormatOptions {
  bool byteOrderMark = false;  // CSV/TSV: start each file with a UTF-8 BOM
  size_t rowsPerTransaction = 10000;  // SQLite
  size_t rowsPerInsert = 100;         // SQL script: rows per INSERT statement
  size_t insertsPerBatch = 10;        // SQL script: statements per GO batch
};

// The exporter of `format` writing into `folder` (which exists).
std::unique_ptr<TableExporter> MakeTableExporter(ExportFormat format, const std::string& folder,
                                                 const ExportFormatOptions& options);

// "csv", "tsv", "jsonl", "sql", "sqlite"; false for another name.
bool ParseExportFormat(const std::string& name, ExportFormat& format);

// A file name made from a table's schema and name: "dbo.Orders"; characters
// that no file system takes (/, \, control characters, ...) become "_".
std::string TableFileStem(const ExportTableShape& table);

}  // namespace quill
