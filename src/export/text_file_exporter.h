// CSV, TSV and JSON Lines: one file per table, "<schema>.<table>.csv"
// (.tsv, .jsonl), UTF-8. CSV follows RFC 4180 with a header row and CRLF
// line ends; TSV has a header row, LF line ends and backslash escapes; JSON
// Lines has one object per row keyed by column name.
#pragma once

#include <memory>
#include <string>

#include "export/table_exporter.h"

namespace quill {

std::unique_ptr<TableExporter> MakeTextFileExporter(ExportFormat format, const std::string& folder,
                                                    const ExportFormatOptions& options);

// One row, and the header row (nothing for JSON Lines), of a text format.
void AppendTextRow(ExportFormat format, const ExportTableShape& table, std::span<const TypedValue> cells,
                   std::string& out);
void AppendHeaderRow(ExportFormat format, const ExportTableShape& table, std::string& out);

}  // namespace quill
