// Everything the window asks of the engine, in one place: the scans and
// snapshot loads (through the scan driver), the window work under the
// running rule (a table's display pages, a folder's document list, saving a
// table's records), the snapshot save, the output lines and the run log.
//
// Threading: the scan runs on the driver's worker, the other work on the
// work runner's; both reach the window only through ScanUi and RecordView,
// whose calls block the worker until the window thread has run them. The
// window never waits for a worker: a worker's end is seen from the window
// thread (the scan's by polling its result, the runner's by a queued
// completion), and until then new work stays refused, also after Stop has
// cleared processRunning. A scan error arrives while the worker is still
// inside the file set's opening; the session only notes it, and discards
// the scan's file set and catalog once the worker has ended.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalog/module_text.h"
#include "scan/application_state.h"
#include "scan/run_log.h"
#include "scan/scan_driver.h"
#include "scan/table_listing.h"
#include "scan/work_runner.h"
#include "ui/file_setting_dialog.h"
#include "ui/record_view.h"
#include "ui/save_choice.h"

namespace quill {
struct OpenedSnapshot;
}

namespace quill::ui {

class EngineSession {
 public:
  // `window` is the window thread's object that completions are queued to.
  EngineSession(ApplicationState& state, ScanUi& ui, RecordView& view, QObject* window);
  ~EngineSession();

  ApplicationState& state() { return state_; }
  RunLog& log() { return log_; }

  // A process runs, or a stopped worker has not ended yet.
  bool Busy() const;
  // processRunning alone: what the Stop button and closing look at.
  bool ProcessRunning() const { return state_.processRunning.load(); }
  // Stop: processRunning cleared, abortRequested set; the worker ends at
  // its next test.
  void Stop();

  // The output pane line and the log line.
  void AddLine(const std::string& text);
  // The first pane line, before any log is open.
  void AddStartLine(const std::string& text);

  // The collation list and setters of the file dialog.
  CollationChoices Collations();
  // Loads "collation.txt" from the first of `paths` that reads.
  bool LoadCollationTable(const std::vector<std::string>& paths);

  // Puts the dialog's choices into the run's options and starts the scan.
  bool StartScan(const ScanChoice& choice);
  // Loads the snapshot at `path` and starts its scan, with the log in
  // `log_folder`. False with `error` set when the snapshot cannot be read.
  bool StartSnapshotLoad(const std::string& path, const std::string& log_folder, std::string& error);
  // Called on the window thread from time to time: true once when a scan's
  // worker has ended (its results are then kept or discarded).
  bool PollScanEnd();
  bool scanActive() const { return scanActive_; }
  // MSG_SCAN_ERROR arrived: the scan's results go when its worker ends.
  void NoteScanError() { scanError_ = true; }

  // Saves the snapshot of the last scan; returns the line shown.
  bool SaveSnapshot(const std::string& path, std::string& message);

  // Window work; false when refused by the running rule. `done` runs on the
  // window thread when the worker has ended.
  bool StartObjectSelection(std::function<void()> done);
  bool StartNextPage(std::function<void()> done);
  bool StartPreviousPage(std::function<void()> done);
  bool StartFolderListing(std::function<void()> done);
  // Writes every row of the listed table as CSV to `path`, through the
  // export's CSV writer; `path` is replaced only by a complete file.
  bool StartSaveRecords(const std::string& path, std::function<void()> done);
  // Exports into a new folder under `choice.folder`, named after the
  // database: the checked tables in the chosen format, the checked modules'
  // definitions and the checked documents (`checked_objects` are object
  // tree items, `checked_documents` document tree items); everything when
  // nothing is checked.
  bool StartSave(const std::vector<uint64_t>& checked_objects, const std::vector<uint64_t>& checked_documents,
                 const SaveChoice& choice, std::function<void()> done);

  bool tableSelected() const { return listing_.selected(); }
  const std::string& listedTableName() const { return listedTable_; }
  // The scan left a file set and a catalog to read.
  bool HasScanResults();
  // Releases the file set and the catalog (closing the application).
  void Release();

 private:
  void ObjectSelectionWorker();
  void PageWorker(bool next);
  void FolderListingWorker();
  void SaveRecordsWorker(const std::string& path);
  void SaveWorker(const std::vector<uint64_t>& objects, const std::vector<uint64_t>& documents,
                  const SaveChoice& choice);
  TableListing::RowSink ListRowSink();
  void FinishListing(const DisplayPage& page, bool first);
  bool Start(std::function<void()> work, std::function<void()> done);

  ApplicationState& state_;
  ScanUi& ui_;
  RecordView& view_;
  QObject* window_;
  RunLog log_;
  ScanDriver driver_;
  WorkRunner runner_;
  TableListing listing_;
  std::string listedTable_;
  ModuleValueCache moduleValues_;
  TreeItem lastHandledObject_ = kNoTreeItem;
  bool scanActive_ = false;
  bool scanError_ = false;
  std::unique_ptr<OpenedSnapshot> snapshot_;
};

}  // namespace quill::ui
