// The scan driver: runs one scan of a chosen data file (or of a loaded
// snapshot) on a worker thread, from opening the file set to the finished
// trees, and keeps the running rule that stops scans, snapshot saves and
// table reads from overlapping.
//
// The worker talks to the user interface only through ScanUi, whose calls
// are synchronous, and writes every output line to the run's log. It reads
// the options the state held when the scan started (a copy), and leaves
// what it found in the context's results. A stop request only sets the
// flags; the worker ends its current steps and reports what it reached. A
// new scan waits for the previous worker to end.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "scan/application_state.h"
#include "scan/run_log.h"
#include "scan/scan_context.h"
#include "scan/scan_ui.h"

namespace quill {

// Texts of the running rule.
inline constexpr char kPleaseWait[] = "Please wait for the running process.";
inline constexpr char kPleaseStop[] = "Please stop the running process to continue the process.";
inline constexpr char kPleaseStopToClose[] = "Please stop the running process to close the application.";
inline constexpr char kConfirmStop[] = "Are you sure to stop the running process?";

// Output lines of the scan.
inline constexpr char kFileSelected[] = " File is selected for recovery....";
inline constexpr char kBrowseFilePath[] = "Browse File Path:\t";
inline constexpr char kAdvancedModeSelected[] = "Advanced mode is selected for file recovery.";
inline constexpr char kStandardModeSelected[] = "Standard mode is selected for file recovery.";
inline constexpr char kScanningStarts[] = "Scanning of file starts...";
inline constexpr char kScanAborted[] = "Scanning process aborted.";
inline constexpr char kNoCatalogObjects[] =
    "Either it is not valid mdf file or highly corrupted, select another file to recover.";
inline constexpr char kDatabaseVersion[] = "Database version: ";
inline constexpr char kUnknownSqlVersion[] = "Unknown SQL Version";

// The last stage of a scan, run on the worker once the catalog is loaded:
// builds the trees and ends the scan with its final messages. Returns 1 on
// success, 0 otherwise.
using ScanCompletion = std::function<int(ScanContext&)>;

class ScanDriver {
 public:
  // `completion` runs after the database version line (when empty the scan
  // ends there, successfully); `ui`, `log` and `state` must outlive the
  // driver.
  ScanDriver(ApplicationState& state, ScanUi& ui, RunLog& log, ScanCompletion completion);
  ~ScanDriver();
  ScanDriver(const ScanDriver&) = delete;
  ScanDriver& operator=(const ScanDriver&) = delete;

  // Starts a scan of `path` (the file dialog's choice; its options already
  // in the state). Refused with a box while a process runs. Opens the run
  // log in state.logFolder and keeps its path in state.logFilePath. False
  // when refused.
  bool StartScan(const std::string& path);

  // Starts a scan whose page maps come from `source` (a loaded snapshot,
  // which must stay alive until the scan has ended); the data file is
  // state.snapshotDataPath. The caller has opened the run log. False when
  // refused.
  bool StartSnapshotScan(SnapshotMapSource* source);

  // Stop: the worker ends its current steps and finishes with what it has.
  // Does nothing while no process runs; may be called from any thread.
  void StopScan();

  // Waits for the worker to end.
  void Wait();

  // 1 when the last scan completed, 0 when it failed; -1 before any ends.
  int lastResult() const { return lastResult_.load(); }

  // The context of the last scan, its results included (valid once Wait
  // returned).
  ScanContext& context() { return context_; }

  // Empties the trees and the context of the previous scan.
  void ResetScan();

 private:
  bool BeginRun();
  void StartWorker(const std::string& path, SnapshotMapSource* source);
  int ScanThread(const std::string& path, ReadOptions options, CollationChoice collation,
                 RecoveryOption recovery_option, SnapshotMapSource* source);
  void Line(const std::string& text);
  int AbortWith(const char* line, bool box);

  ApplicationState& state_;
  ScanUi& ui_;
  RunLog& log_;
  ScanCompletion completion_;
  ScanContext context_;
  std::thread worker_;
  std::atomic<int> lastResult_{-1};
};

}  // namespace quill
