// One table written to one file the user named, in a text format (CSV, TSV
// or JSON Lines), with every row the record list would show over all its
// pages. The rows go to a new file beside the target first, which replaces
// the target only when it is complete: a stop or a write error leaves the
// target as it was.
#pragma once

#include <cstdint>
#include <string>

#include "common/progress_sink.h"
#include "common/stop_token.h"
#include "export/table_exporter.h"
#include "export/table_source.h"

namespace quill {

struct TableFileExportResult {
  bool ok = false;
  uint64_t rows = 0;
  bool stopped = false;
  std::string error;  // why the file was not written
};

// Resolves `table` in `source` and writes it to `path` in `format` (kCsv,
// kTsv or kJsonLines). Progress: a range of the table's pages.
TableFileExportResult ExportTableToFile(TableSource& source, const std::string& table, ExportFormat format,
                                        const ExportFormatOptions& options, const std::string& path,
                                        StopToken stop, ProgressSink& progress);

}  // namespace quill
