#include "export/database_export.h"

#include "export/sql_script_exporter.h"
#include "export/sqlite_exporter.h"

#include <algorithm>
#include <chrono>

namespace quill {

namespace {

double SecondsSince(std::chrono::steady_clock::time_point started) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

}  // namespace

DatabaseExportResult ExportDatabase(const DatabaseExportRequest& request, const ReadOptions& options,
                                    const CollationChoice& collation, const FolderClaim& claim_folder,
                                    StopToken stop, ProgressSink& progress,
                                    const std::vector<DatabaseExportStep*>& steps) {
  const auto started = std::chrono::steady_clock::now();
  ReadOptions run = options;
  run.recoveryMode = request.mode;
  run.parse.showDeletedRecords = request.deleted;
  run.parse.showAdvancedDeletedRecords = request.deleted;
  TableSource source(run, collation);
  if (!source.Open(request.path, progress)) {
    DatabaseExportResult result;
    result.failures.push_back(request.path + ": cannot be read as a database");
    result.seconds = SecondsSince(started);
    return result;
  }
  DatabaseExportResult result = ExportDatabase(source, request, claim_folder, stop, progress, steps);
  result.seconds = SecondsSince(started);
  return result;
}

DatabaseExportResult ExportDatabase(TableSource& source, const DatabaseExportRequest& request,
                                    const FolderClaim& claim_folder, StopToken stop, ProgressSink& progress,
                                    const std::vector<DatabaseExportStep*>& steps) {
  const auto started = std::chrono::steady_clock::now();
  DatabaseExportResult result;
  auto finish = [&]() {
    result.seconds = SecondsSince(started);
    return result;
  };
  result.opened = true;
  result.databaseName = source.databaseName();
  result.damagedPages = std::max<int64_t>(source.damagedPageCount(), 0);

  std::string error;
  result.folder = claim_folder(result.databaseName, error);
  if (result.folder.empty()) {
    result.failures.push_back(error);
    return finish();
  }

  std::vector<std::string> names = request.tables;
  if (request.noTables) {
    names.clear();
  } else if (names.empty()) {
    for (const SourceTable& table : source.Tables()) names.push_back(table.name);
  } else {
    // System tables are asked for by name too; an object that is no table
    // is reported when it does not resolve.
    std::vector<std::string> found;
    for (const std::string& name : names) {
      if (source.HasObject(name)) {
        found.push_back(name);
      } else {
        result.failures.push_back("no table named \"" + name + "\"");
      }
    }
    names = std::move(found);
  }

  const std::string stem = result.databaseName.empty() ? std::string("database") : result.databaseName;
  std::unique_ptr<TableExporter> exporter;
  if (request.format == ExportFormat::kSql || request.format == ExportFormat::kSqlite) {
    // One file for the database, named after it.
    ExportTableShape naming;
    naming.name = stem;
    const std::string file = TableFileStem(naming) + (request.format == ExportFormat::kSql ? ".sql" : ".sqlite");
    exporter = request.format == ExportFormat::kSql ? MakeSqlScriptExporter(result.folder, file, request.formatOptions)
                                                    : MakeSqliteExporter(result.folder, file, request.formatOptions);
  } else {
    exporter = MakeTableExporter(request.format, result.folder, request.formatOptions);
  }
  if (request.decorate) exporter = request.decorate(std::move(exporter));

  ExportDatabaseShape database;
  database.databaseName = result.databaseName;
  const uint64_t range = names.size() * 100;
  progress.ProgressRange(range);
  for (size_t t = 0; t < names.size(); ++t) {
    if (stop.stopRequested()) source.RequestStop();
    if (source.stopRequested()) {
      result.stopped = true;
      break;
    }
    std::optional<ExportTableShape> shape = source.Resolve(names[t]);
    if (!shape) {
      result.failures.push_back(names[t] + ": not a table that can be read");
      continue;
    }
    const std::string label = shape->schema + "." + shape->name;
    progress.StatusText("Exporting " + label);
    if (!exporter->BeginTable(*shape)) {
      result.failures.push_back(label + ": " + exporter->error());
      exporter->DropTable();
      continue;
    }
    bool write_failed = false;
    std::vector<RecoveryNote> deleted_notes;
    const auto page_progress = [&](uint64_t done, uint64_t total) {
      progress.ProgressPos(t * 100 + (total ? done * 100 / total : 100));
    };
    const bool formatted = exporter->FormatsRows() && !request.deleted;
    const TableReadResult read = formatted ? source.ReadRowsFormatted(
        [&](const Row&, const std::vector<TypedValue>& cells, const RowPlace&, std::string& out) {
          exporter->FormatRow(cells, out);
        },
        [&](std::string& bytes, uint64_t) {
          if (stop.stopRequested()) {
            source.RequestStop();
            return false;
          }
          write_failed = !exporter->WriteFormatted(bytes);
          return !write_failed;
        },
        page_progress, true, request.threads) : source.ReadRows(
        [&](const Row&, const std::vector<TypedValue>& cells, const RowPlace& place) {
          if (stop.stopRequested()) {
            source.RequestStop();
            return false;
          }
          if (!exporter->WriteRow(cells)) {
            write_failed = true;
            return false;
          }
          if (place.deleted) {
            deleted_notes.push_back({label, "", static_cast<int64_t>(place.slot), "deleted row recovered",
                                     "the record is marked deleted or lies in the page's free space"});
          }
          return true;
        },
        page_progress);
    if (read.stopped || (read.cut && !write_failed && stop.stopRequested())) {
      exporter->DropTable();
      result.stopped = true;
      break;
    }
    if (write_failed || !exporter->EndTable()) {
      result.failures.push_back(label + ": " + exporter->error());
      exporter->DropTable();
      continue;
    }
    ++result.tables;
    result.rows += read.rows;
    // Notes without a slot are pages skipped; the others are values not read whole.
    for (const RecoveryNote& note : read.notes) result.damagedPages += note.slot < 0 ? 1 : 0;
    result.notes.insert(result.notes.end(), read.notes.begin(), read.notes.end());
    result.notes.insert(result.notes.end(), deleted_notes.begin(), deleted_notes.end());
    database.tables.push_back(std::move(*shape));
  }
  progress.ProgressPos(range);

  // Modules are scripted only when the run was not stopped.
  if (request.format == ExportFormat::kSql && !result.stopped) database.modules = source.Modules();
  database.notes = result.notes;
  if (!exporter->Finish(database)) result.failures.push_back(exporter->error());
  result.files = exporter->files();

  for (DatabaseExportStep* step : steps) {
    if (result.stopped || stop.stopRequested()) {
      result.stopped = true;
      break;
    }
    step->Run(source, result.folder, stop, progress, result);
  }
  return finish();
}

}  // namespace quill
