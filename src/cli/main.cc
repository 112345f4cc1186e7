// quillstone: the command-line face of the reader. main() only parses the
// arguments and hands each command to its library function.
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>

#include <iostream>
#include <string>

#include "cli/catalog_commands.h"
#include "cli/check_command.h"
#include "cli/documents_command.h"
#include "cli/export_command.h"
#include "cli/info_command.h"
#include "cli/module_command.h"
#include "cli/page_command.h"
#include "cli/rows_command.h"
#include "cli/scan_command.h"
#include "cli/terminal_progress.h"
#include "export/document_export_step.h"
#include "scan/application_state.h"

namespace {

std::atomic<bool> g_stop{false};

// Ctrl+C during an export: the workers stop between rows, remove the
// table in progress and keep the files completed.
void RequestStop(int) { g_stop = true; }

}  // namespace

int main(int argc, char** argv) {
  using namespace quill;

  CLI::App app{"Quillstone: read-only recovery and browsing of SQL Server data files"};
  app.require_subcommand(1);

  std::string info_path;
  CLI::App* info = app.add_subcommand("info", "Print the identity of a data file: database, version, collation, pages");
  info->add_option("FILE", info_path, "Primary data file (.mdf)")->required();

  std::string check_path;
  CLI::App* check = app.add_subcommand(
      "check", "Check every page: address, torn-page bits, checksum; exit 3 when some are damaged");
  check->add_option("FILE", check_path,
                    "Primary data file (.mdf); the secondary files its catalog names are checked too")
      ->required();

  std::string page_path;
  std::string page_address;
  bool show_deleted = false;
  bool show_advanced_deleted = false;
  CLI::App* page =
      app.add_subcommand("page", "Print one page: header fields, slot array and each slot's record");
  page->add_option("FILE", page_path,
                   "Primary data file (.mdf); secondary files (.ndf) are found beside it")
      ->required();
  page->add_option("FILEID:PAGEID", page_address,
                   "Address of the page, e.g. 1:9 (decimal file id and page id)")
      ->required()
      ->check(CLI::Validator(
          [](std::string& text) { return ParsePageAddress(text).error; }, ""));
  page->add_flag("--deleted", show_deleted, "Parse deleted (ghost data) records in the slots too");
  page->add_flag("--advanced-deleted", show_advanced_deleted,
                 "Also search the page's free space for deleted records no slot points to "
                 "(takes effect only together with --deleted)");

  std::string objects_path;
  CLI::App* objects = app.add_subcommand(
      "objects", "List the object rows of the catalog: id, type code, name, parent id (tab-separated)");
  objects->add_option("FILE", objects_path, "Primary data file (.mdf)")->required();

  std::string columns_path;
  std::string columns_table;
  CLI::App* columns = app.add_subcommand(
      "columns", "List the columns of one table as the catalog describes them, and its page count");
  columns->add_option("FILE", columns_path, "Primary data file (.mdf)")->required();
  columns->add_option("TABLE", columns_table, "Table name, matched exactly")->required();

  std::string module_path;
  std::string module_name;
  CLI::App* module = app.add_subcommand(
      "module", "Print what selecting an object in the object tree shows: a view's, procedure's, "
                "function's, trigger's or default's definition, or a key or constraint script");
  module->add_option("FILE", module_path, "Primary data file (.mdf)")->required();
  module->add_option("NAME", module_name, "Object name, matched exactly")->required();

  RowsRequest rows_request;
  std::string rows_format = "csv";
  std::string rows_mode = "standard";
  bool rows_deleted = false;
  bool rows_advanced_deleted = false;
  uint64_t rows_limit = 0;
  CLI::App* rows = app.add_subcommand("rows", "Write every row of one table as CSV, TSV or JSON");
  rows->add_option("FILE", rows_request.path, "Primary data file (.mdf)")->required();
  rows->add_option("TABLE", rows_request.table, "Table name, matched exactly")->required();
  rows->add_option("--format", rows_format, "csv, tsv or json")
      ->check(CLI::IsMember({"csv", "tsv", "json"}));
  rows->add_option("--mode", rows_mode,
                   "standard: pages from the allocation structures; advanced: every page that "
                   "carries the table's id")
      ->check(CLI::IsMember({"standard", "advanced"}));
  rows->add_flag("--deleted", rows_deleted, "Include deleted (ghost) rows");
  rows->add_flag("--advanced-deleted", rows_advanced_deleted,
                 "Also search free space for deleted rows (with --deleted)");
  rows->add_option("--limit", rows_limit, "Write at most N rows");
  rows->add_option("--threads", rows_request.threads,
                   "Decode pages on N threads (default: one per core); the output keeps page order");

  DocumentsRequest documents_request;
  std::string documents_folder;
  std::string documents_mode = "standard";
  CLI::App* documents = app.add_subcommand(
      "documents",
      "List the SharePoint documents (LeafName, DirName, Size, TimeCreated, TimeLastModified)");
  documents->add_option("FILE", documents_request.path, "Primary data file (.mdf)")->required();
  documents->add_option("--folder", documents_folder,
                        "Only the documents shown for this document-tree item, given as its "
                        "texts from the root down joined by /, e.g. SharePointData/Shared Documents");
  documents->add_option("--mode", documents_mode,
                        "standard: pages from the allocation structures; advanced: every page "
                        "that carries the table's id")
      ->check(CLI::IsMember({"standard", "advanced"}));
  std::string documents_extract;
  documents->add_option("--extract", documents_extract,
                        "Write the documents' stored bytes under DIR (missing or empty) with a manifest.csv");
  documents->add_flag("--deleted", documents_request.deleted,
                      "With --extract: also deleted and recycled documents whose bytes survive, into _deleted/");
  documents->add_flag("--versions", documents_request.versions,
                      "With --extract: also every stored historical version, as \"name (version N).ext\"");

  // scan and snapshot share their options.
  ScanRequest scan_request;
  std::string scan_mode = "standard";
  std::string scan_snapshot;
  std::string snapshot_path;
  bool scan_deleted = false;
  bool scan_advanced_deleted = false;
  auto add_scan_options = [&](CLI::App* command) {
    command->add_option("--mode", scan_mode,
                        "standard: pages from the allocation structures; advanced: every page "
                        "that carries a table's id")
        ->check(CLI::IsMember({"standard", "advanced"}));
    command->add_flag("--deleted", scan_deleted, "Include deleted (ghost) rows");
    command->add_flag("--advanced-deleted", scan_advanced_deleted,
                      "Also search free space for deleted rows (with --deleted)");
    command->add_option("--collation", scan_request.collation,
                        "auto (from the boot page) or a collation name from collation.txt");
    command->add_option("--log-folder", scan_request.logFolder,
                        "Write the run's log file into this folder (none without it)")
        ->check(CLI::ExistingDirectory);
  };
  CLI::App* scan = app.add_subcommand(
      "scan", "Run the whole scan: output lines, then the object tree and the SharePoint trees");
  scan->add_option("FILE", scan_request.path, "Primary data file (.mdf)");
  scan->add_flag("--documents", scan_request.documents,
                 "Print the SharePoint trees even when the database has no SharePoint content");
  scan->add_option("--snapshot", scan_snapshot,
                   "Take the page maps from this snapshot (its data file path is used)");
  add_scan_options(scan);
  CLI::App* snapshot = app.add_subcommand("snapshot", "Scan FILE and save its page maps to SNAP");
  snapshot->add_option("FILE", scan_request.path, "Primary data file (.mdf)")->required();
  snapshot->add_option("SNAP", snapshot_path, "Snapshot file (.VLMSNP added without an extension)")
      ->required();
  add_scan_options(snapshot);

  ExportRequest export_request;
  std::string export_format = "csv";
  std::string export_mode = "standard";
  std::string export_tables;
  CLI::App* export_command = app.add_subcommand(
      "export", "Write the recovered tables of one or more data files into a folder, one subfolder per database");
  export_command->add_option("FILE", export_request.paths, "Primary data files (.mdf)")->required();
  export_command->add_option("--out", export_request.outDir, "Output folder (created; must be empty without --force)")
      ->required();
  export_command->add_option("--format", export_format, "csv, tsv, jsonl, sql or sqlite")
      ->check(CLI::IsMember({"csv", "tsv", "jsonl", "sql", "sqlite"}));
  export_command->add_option("--tables", export_tables, "Only these tables (names joined by commas)");
  export_command->add_flag("--deleted", export_request.deleted,
                           "Include deleted rows (ghost records and records found in free space)");
  export_command->add_option("--mode", export_mode,
                             "standard: pages from the allocation structures; advanced: every page that "
                             "carries a table's id")
      ->check(CLI::IsMember({"standard", "advanced"}));
  export_command->add_option("--jobs", export_request.jobs, "Files exported at the same time (default: cores)");
  bool export_documents = false;
  bool export_versions = false;
  export_command->add_flag("--documents", export_documents,
                           "SharePoint content databases: also write every document's bytes to "
                           "documents/ with manifest.csv (with --deleted: deleted documents too)");
  export_command->add_flag("--versions", export_versions, "With --documents: every stored version too");
  export_command->add_flag("--force", export_request.force, "Write into an output folder that is not empty");
  export_command->add_flag("--bom", export_request.formatOptions.byteOrderMark,
                           "CSV and TSV: start each file with a UTF-8 byte-order mark");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }

  ApplicationState state;
  state.collationTable = LoadCollationTable(DefaultCollationTablePath());
  TerminalProgress progress = TerminalProgress::ForStderr();

  if (info->parsed()) return RunInfoCommand(info_path, state, progress, std::cout);
  if (export_command->parsed()) {
    ParseExportFormat(export_format, export_request.format);
    export_request.mode = export_mode == "advanced" ? RecoveryMode::kAdvanced : RecoveryMode::kStandard;
    for (size_t start = 0; start < export_tables.size();) {
      const size_t comma = std::min(export_tables.find(',', start), export_tables.size());
      if (comma > start) export_request.tables.push_back(export_tables.substr(start, comma - start));
      start = comma + 1;
    }
    if (export_documents) {
      DocumentExportChoices choices;
      choices.deleted = export_request.deleted;
      choices.versions = export_versions;
      export_request.makeSteps = [choices](unsigned threads) {
        DocumentExportChoices on_threads = choices;
        on_threads.threads = threads;
        std::vector<std::unique_ptr<DatabaseExportStep>> steps;
        steps.push_back(MakeDocumentExportStep(on_threads));
        return steps;
      };
    }
    export_request.drawProgress = isatty(STDERR_FILENO) != 0;
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    return RunExportCommand(export_request, state.collationTable, std::cout, std::cerr, StopToken(&g_stop));
  }
  if (scan->parsed() || snapshot->parsed()) {
    state.recoveryMode = scan_mode == "advanced" ? RecoveryMode::kAdvanced : RecoveryMode::kStandard;
    state.showDeletedRecords = scan_deleted;
    state.showAdvancedDeletedRecords = scan_advanced_deleted;
    if (snapshot->parsed()) {
      return RunSnapshotCommand(scan_request, snapshot_path, state, progress, std::cout);
    }
    if (scan->count("--snapshot") > 0) {
      scan_request.snapshot = scan_snapshot;
    } else if (scan_request.path.empty()) {
      std::cerr << "scan: FILE or --snapshot SNAP is required\n";
      return kExitUsage;
    }
    return RunScanCommand(scan_request, state, progress, std::cout);
  }
  if (check->parsed()) return RunCheckCommand(check_path, state, progress, std::cout);
  if (rows->parsed()) {
    rows_request.format = rows_format == "json" ? RowsFormat::kJson
                          : rows_format == "tsv" ? RowsFormat::kTsv
                                                 : RowsFormat::kCsv;
    if (rows->count("--limit") > 0) rows_request.limit = rows_limit;
    state.recoveryMode = rows_mode == "advanced" ? RecoveryMode::kAdvanced : RecoveryMode::kStandard;
    state.showDeletedRecords = rows_deleted;
    state.showAdvancedDeletedRecords = rows_advanced_deleted;
    return RunRowsCommand(rows_request, state, progress, std::cout);
  }
  if (documents->parsed()) {
    if (documents->count("--folder") > 0) documents_request.folder = documents_folder;
    if (documents->count("--extract") > 0) documents_request.extractFolder = documents_extract;
    state.recoveryMode =
        documents_mode == "advanced" ? RecoveryMode::kAdvanced : RecoveryMode::kStandard;
    return RunDocumentsCommand(documents_request, state, progress, std::cout);
  }
  if (objects->parsed()) return RunObjectsCommand(objects_path, state, progress, std::cout);
  if (columns->parsed()) {
    return RunColumnsCommand(columns_path, columns_table, state, progress, std::cout);
  }
  if (module->parsed()) return RunModuleCommand(module_path, module_name, state, progress, std::cout);
  if (page->parsed()) {
    state.showDeletedRecords = show_deleted;
    state.showAdvancedDeletedRecords = show_advanced_deleted;
    // The address passed the check above.
    const PageAddress address = *ParsePageAddress(page_address).address;
    return RunPageCommand(page_path, address, state, progress, std::cout);
  }
  return kExitUsage;
}
