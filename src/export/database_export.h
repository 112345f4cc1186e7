// Exports the tables of one data file into one output folder in one format,
// table by table, page by page: memory stays flat in table size. A table
// that cannot be written is reported and removed and the run goes on with
// the next; a stop ends the run between rows, removes the table in progress
// and keeps the tables completed before it. Further steps (the documents of
// a SharePoint content database) plug in as DatabaseExportStep objects and
// run after the tables.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/progress_sink.h"
#include "common/stop_token.h"
#include "pages/collation_table.h"
#include "export/table_exporter.h"
#include "export/table_source.h"
#include "values/read_options.h"

namespace quill {

struct DatabaseExportRequest {
  std::string path;  // primary data file
  ExportFormat format = ExportFormat::kCsv;
  ExportFormatOptions formatOptions;
  std::vector<std::string> tables;  // names to export; empty: every user table
  bool noTables = false;            // no table at all (only the further steps)
  RecoveryMode mode = RecoveryMode::kStandard;
  bool deleted = false;  // deleted rows too (ghost records and records found in free space)
  // Threads that decode a table's pages, for the formats that format rows
  // on their own (CSV, TSV, JSON Lines; not with deleted rows, which are
  // noted row by row).
  unsigned threads = 1;
  // When set, wraps the format's exporter (a front end that watches rows,
  // a test that makes writes fail).
  std::function<std::unique_ptr<TableExporter>(std::unique_ptr<TableExporter>)> decorate;
};

struct DatabaseExportResult {
  bool opened = false;
  std::string databaseName;
  std::string folder;  // the database's output folder; empty when none was made
  uint64_t tables = 0;  // tables written completely
  uint64_t rows = 0;
  int64_t damagedPages = 0;  // pages failing their checks, plus pages skipped
  std::vector<std::string> files;     // relative to `folder`
  std::vector<std::string> failures;  // what could not be exported, and why
  std::vector<RecoveryNote> notes;
  bool stopped = false;
  double seconds = 0;
  bool ok() const { return opened && failures.empty() && !stopped; }
};

// A further export step for one database, run after its tables with the
// same open source and folder. Adds its files and failures to `result`.
class DatabaseExportStep {
 public:
  virtual ~DatabaseExportStep() = default;
  virtual void Run(TableSource& source, const std::string& folder, StopToken stop, ProgressSink& progress,
                   DatabaseExportResult& result) = 0;
};

// Gives the output folder for a database name, created and empty; the
// empty text (with `error` set) when it cannot be made.
using FolderClaim = std::function<std::string(const std::string& database_name, std::string& error)>;

// Reads with `options` (the request's recovery mode and deleted-rows
// choice replace its own) and `collation`; `stop` ends the run.
DatabaseExportResult ExportDatabase(const DatabaseExportRequest& request, const ReadOptions& options,
                                    const CollationChoice& collation, const FolderClaim& claim_folder,
                                    StopToken stop, ProgressSink& progress,
                                    const std::vector<DatabaseExportStep*>& steps = {});

// The same over a source that is open already (a front end's scan): the
// request's path, recovery mode and deleted-rows choice are the source's.
DatabaseExportResult ExportDatabase(TableSource& source, const DatabaseExportRequest& request,
                                    const FolderClaim& claim_folder, StopToken stop, ProgressSink& progress,
                                    const std::vector<DatabaseExportStep*>& steps = {});

}  // namespace quill
