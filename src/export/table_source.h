// The one place the export layer meets the engine: opens a data file, loads
// its catalog, lists and resolves its tables, and visits a table's rows
// page by page with typed cells. Rows are those the record list shows: the
// columns with stored data, the pages by recovery mode (a heap whose IAM
// pages give nothing along its page chain), each page once, rows whose
// cells are all empty or NULL left out.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/progress_sink.h"
#include "common/stop_token.h"
#include "export/export_table.h"
#include "pages/collation_table.h"
#include "scan/scan_context.h"
#include "values/page_rows.h"
#include "values/read_options.h"

namespace quill {

struct SourceTable {
  std::string schema;
  std::string name;
  int32_t objectId = 0;
};

// Called once per row; false stops the read (a limit reached, a write failed).
using SourceRowVisitor =
    std::function<bool(const Row& row, const std::vector<TypedValue>& cells, const RowPlace& place)>;
// Called after each page: pages done, pages listed.
using SourcePageVisitor = std::function<void(uint64_t done, uint64_t total)>;
// Appends one row's output to `out`; called on worker threads, so it must
// only read shared state.
using SourceRowFormatter = std::function<void(const Row& row, const std::vector<TypedValue>& cells,
                                              const RowPlace& place, std::string& out)>;
// Takes the output of one page (`rows` rows), in page order, on the calling
// thread; false stops the read.
using SourceChunkWriter = std::function<bool(std::string& bytes, uint64_t rows)>;

struct TableReadResult {
  uint64_t rows = 0;
  uint64_t pages = 0;
  std::vector<RecoveryNote> notes;  // pages that could not be read
  bool stopped = false;             // the stop flag ended the read
  bool cut = false;                 // the visitor ended the read
};

class TableSource {
 public:
  // Reads with `options` (recovery mode, deleted records, value decoding;
  // the layout and the stop token are the source's own) and the collation
  // `collation`, whose table must outlive the source.
  TableSource(const ReadOptions& options, const CollationChoice& collation);
  // Reads the file and catalog `open` already holds (a front end's scan),
  // with the scan's options; large values are read in full. `open` must
  // outlive the source, and nothing else may read through it meanwhile:
  // resolving a table replaces the catalog's current table.
  explicit TableSource(ScanContext& open);
  ~TableSource();
  TableSource(const TableSource&) = delete;
  TableSource& operator=(const TableSource&) = delete;

  // Opens the file and loads its catalog; false (reported to `progress`)
  // when the file cannot be read as a database.
  bool Open(const std::string& path, ProgressSink& progress);

  std::string databaseName() const;
  // Pages that failed their checks in the mapping pass (-1: not known).
  int64_t damagedPageCount() const;
  // The user tables, in catalog order.
  std::vector<SourceTable> Tables() const;
  // Whether any object (table or other) is named `name`.
  bool HasObject(const std::string& name) const;
  // Resolves the table named `name` for ReadRows; nothing when there is
  // no table of that name. With `definitions`, column defaults and check
  // constraints are read too (from the stored module values).
  std::optional<ExportTableShape> Resolve(const std::string& name, bool definitions = true);
  // Visits the rows of the table resolved last; without `typed` the typed
  // cells stay empty (readers of the display texts only).
  TableReadResult ReadRows(const SourceRowVisitor& visit, const SourcePageVisitor& pages, bool typed = true);
  // The same rows, with the pages decoded and formatted on `threads` worker
  // threads (each with its own copy of the table's columns) and their
  // output written in page order: the same bytes as ReadRows with the
  // formatter called in its visitor.
  TableReadResult ReadRowsFormatted(const SourceRowFormatter& format, const SourceChunkWriter& write,
                                    const SourcePageVisitor& pages, bool typed, unsigned threads);
  // Views, procedures, functions and triggers with their stored definitions
  // (files with the SQL Server 2000 catalog: none are read).
  std::vector<ExportModule> Modules();

  // The open file and its catalog, for further steps over the same
  // database (the documents of a content database).
  ScanContext& context() { return *context_; }

  void RequestStop() { stop_.RequestStop(); }
  // Our own request, or the stop token of the options read with.
  bool stopRequested() const { return stop_.stopRequested() || options_.stop().stopRequested(); }

 private:
  // Takes one listed row into its page's bytes; false ends the read there.
  using PageRowSink = std::function<bool(const Row& row, const std::vector<TypedValue>& cells,
                                         const RowPlace& place, std::string& bytes)>;
  // The one page loop behind ReadRows and ReadRowsFormatted: pages in
  // order (each once, a heap's page chain when its IAM pages gave no rows),
  // decoded on `threads` workers, their bytes written in page order.
  TableReadResult ReadPages(const PageRowSink& take_row, const SourceChunkWriter& write,
                            const SourcePageVisitor& pages, bool typed, unsigned threads);
  std::string ModuleDefinition(int32_t object_id);
  bool isSql2000() const { return options_.parse.isSql2000; }

  ReadOptions requested_;
  CollationChoice collation_;
  StopSource stop_;
  std::unique_ptr<ScanContext> owned_;  // when the source opens the file itself
  ScanContext* context_;
  ReadOptions options_;  // what the rows and definitions are read with
  std::map<int32_t, std::string> definitions_;  // object id -> stored definition
  bool definitionsRead_ = false;
  std::vector<size_t> listed_;  // descriptor positions of the exported columns
};

}  // namespace quill
