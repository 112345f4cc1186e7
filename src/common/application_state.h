// The one application state object: the options of the current run, the
// flags that coordinate the worker with the user interface, and the results
// every layer reads (version, collation). Nothing else in the program is
// global; the file set keeps a reference to this object so that every layer
// below reaches the options and the stop flag through the page it reads.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "pages/collation_table.h"
#include "records/record_parse_options.h"

namespace quill {

enum class RecoveryMode : int32_t { kStandard = 1, kAdvanced = 2 };
enum class RecoveryOption : int32_t { kCompletedDatabase = 1, kDocument = 2 };

struct ApplicationState {
  // Set before a worker starts, cleared by the worker when it ends; new work
  // is refused while it is set.
  std::atomic<bool> processRunning{false};
  // Set by Stop; every loop over pages and records polls it.
  std::atomic<bool> abortRequested{false};
  // 1 while the table display reads rows (large values are then cut short).
  std::atomic<bool> tableDisplayActive{false};

  // Snapshot loading: when set, the page maps come from snapshotDataPath
  // instead of a pass over the data file.
  bool snapshotLoadMode = false;
  std::string snapshotDataPath;

  RecoveryMode recoveryMode = RecoveryMode::kStandard;
  RecoveryOption recoveryOption = RecoveryOption::kCompletedDatabase;
  bool isSql2000 = false;
  bool showDeletedRecords = false;
  bool showAdvancedDeletedRecords = false;

  int32_t outputLineCount = 0;
  std::string selectedFilePath;
  std::string logFolder;
  std::string logFilePath;

  // Version and collation results of the boot page; reset at each scan.
  std::string versionName;
  bool collationFound = false;
  std::string collationName;

  // Collation options of the file dialog or a loaded snapshot.
  bool autoDetectCollation = true;
  int64_t manualCollationId = 0;
  CollationTable collationTable;

  // The table whose pages are being read; set by the table readers for the
  // time they read its pages. Not owned.
  const CurrentTableView* currentTable = nullptr;

  // The record parse options of the current run.
  RecordParseOptions recordParseOptions() const {
    RecordParseOptions options;
    options.showDeletedRecords = showDeletedRecords;
    options.showAdvancedDeletedRecords = showAdvancedDeletedRecords;
    options.isSql2000 = isSql2000;
    options.abortRequested = &abortRequested;
    options.currentTable = currentTable;
    return options;
  }

  // The code page that stands in for "the system ANSI code page" of the
  // stored data: single-byte text without a collation of its own.
  int32_t ansiCodePage = 1252;

  // Returns the version and collation results to their start-up values.
  void ResetScanResults() {
    versionName.clear();
    collationFound = false;
    collationName.clear();
  }
};

}  // namespace quill
