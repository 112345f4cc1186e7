#include "export/table_exporter.h"

#include "export/sql_script_exporter.h"
#include "export/sqlite_exporter.h"
#include "export/text_file_exporter.h"

namespace quill {

std::unique_ptr<TableExporter> MakeTableExporter(ExportFormat format, const std::string& folder,
                                                 const ExportFormatOptions& options) {
  switch (format) {
    case ExportFormat::kSql: return MakeSqlScriptExporter(folder, "tables.sql", options);
    case ExportFormat::kSqlite: return MakeSqliteExporter(folder, "tables.sqlite", options);
    default: return MakeTextFileExporter(format, folder, options);
  }
}

bool ParseExportFormat(const std::string& name, ExportFormat& format) {
  if (name == "csv") format = ExportFormat::kCsv;
  else if (name == "tsv") format = ExportFormat::kTsv;
  else if (name == "jsonl") format = ExportFormat::kJsonLines;
  else if (name == "sql") format = ExportFormat::kSql;
  else if (name == "sqlite") format = ExportFormat::kSqlite;
  else return false;
  return true;
}

std::string TableFileStem(const ExportTableShape& table) {
  std::string stem = table.schema.empty() ? table.name : table.schema + "." + table.name;
  for (char& c : stem) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
        c == '>' || c == '|') {
      c = '_';
    }
  }
  if (stem.empty() || stem == "." || stem == "..") stem = "_" + stem;
  return stem;
}

}  // namespace quill
