// `quillstone export FILE... --out DIR`: the recovered tables of one or more
// data files written into DIR, one subfolder per database, several files
// side by side (one worker per file, up to `jobs`), then a summary table.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "common/stop_token.h"
#include "export/database_export.h"
#include "pages/collation_table.h"

namespace quill {

struct ExportRequest {
  std::vector<std::string> paths;
  std::string outDir;
  ExportFormat format = ExportFormat::kCsv;
  ExportFormatOptions formatOptions;
  std::vector<std::string> tables;
  RecoveryMode mode = RecoveryMode::kStandard;
  bool deleted = false;
  unsigned jobs = 0;  // 0: the number of cores
  bool force = false;
  bool drawProgress = false;  // one progress line per file on stderr (a terminal)
  // Further steps for each database (documents), made per worker: each
  // call returns the steps of one database export, which may use `threads`
  // (the cores left to each file).
  std::function<std::vector<std::unique_ptr<DatabaseExportStep>>(unsigned threads)> makeSteps;
};

// Exits 0 when every table of every file was exported, 1 when anything
// could not be (each failure named on `err`) or the run was stopped, 2 for
// a refused output folder.
int RunExportCommand(const ExportRequest& request, const CollationTable& collation, std::ostream& out,
                     std::ostream& err, StopToken stop = {});

// The summary table: file, database, tables, rows, damaged pages, time.
std::string ExportSummaryTable(const std::vector<std::string>& paths,
                               const std::vector<DatabaseExportResult>& results);

}  // namespace quill
