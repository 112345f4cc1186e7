// `quillstone rows FILE TABLE`: every row of one table as CSV, TSV or JSON,
// read page by page.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "scan/application_state.h"
#include "common/progress_sink.h"

namespace quill {

enum class RowsFormat { kCsv, kTsv, kJson };

struct RowsRequest {
  std::string path;
  std::string table;
  RowsFormat format = RowsFormat::kCsv;
  std::optional<uint64_t> limit;  // rows at most
  unsigned threads = 0;  // threads that decode pages (without a limit); 0: one per core
};

// Writes the rows the record list would show for TABLE (page source by the
// state's recovery mode, large values read in full). An unknown table is an
// error naming it (exit 1).
int RunRowsCommand(const RowsRequest& request, ApplicationState& state, ProgressSink& progress,
                   std::ostream& out);

// One CSV field (RFC 4180: quoted when it holds a comma, a quote, CR or LF).
std::string CsvField(const std::string& text);
// One JSON string literal.
std::string JsonString(const std::string& text);

}  // namespace quill
