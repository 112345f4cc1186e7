// The application state of a front end: the options the user chose for the
// next run, the flags that coordinate the worker with the window, and where
// the run's log goes. The front end owns it; the scan driver reads it when a
// run starts and hands the readers a copy of the options (readOptions) and
// a stop token. Nothing below the scan layer sees this object.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "common/stop_token.h"
#include "pages/collation_table.h"
#include "records/boot_page.h"
#include "records/table_page_list.h"
#include "values/read_options.h"

namespace quill {

enum class RecoveryOption : int32_t { kCompletedDatabase = 1, kDocument = 2 };

struct ApplicationState {
  // Set before a worker starts, cleared by the worker when it ends; new work
  // is refused while it is set.
  std::atomic<bool> processRunning{false};
  // Set by Stop; every loop of the readers polls its token.
  StopSource abortRequested;
  // Set while the table display reads the first page of a table (large
  // values are then cut short).
  std::atomic<bool> tableDisplayActive{false};

  // Snapshot loading: when set, the page maps come from a snapshot and the
  // data file is snapshotDataPath.
  bool snapshotLoadMode = false;
  std::string snapshotDataPath;

  RecoveryMode recoveryMode = RecoveryMode::kStandard;
  RecoveryOption recoveryOption = RecoveryOption::kCompletedDatabase;
  // A loaded snapshot's flag: the catalog layout when the data file has no
  // mapped system page. A scan finds its own (ScanResults).
  bool isSql2000 = false;
  bool showDeletedRecords = false;
  bool showAdvancedDeletedRecords = false;

  std::string selectedFilePath;
  std::string logFolder;
  std::string logFilePath;

  // Collation options of the file dialog or a loaded snapshot.
  bool autoDetectCollation = true;
  int64_t manualCollationId = 0;
  CollationTable collationTable;

  // The code page that stands in for "the system ANSI code page" of the
  // stored data: single-byte text without a collation of its own.
  int32_t ansiCodePage = 1252;

  // The options of a run that starts now, as the readers take them. The
  // token refers to abortRequested; the decode options to collationTable.
  ReadOptions readOptions() const {
    ReadOptions options;
    options.parse.showDeletedRecords = showDeletedRecords;
    options.parse.showAdvancedDeletedRecords = showAdvancedDeletedRecords;
    options.parse.isSql2000 = isSql2000;
    options.parse.stop = abortRequested.token();
    options.decode.collationTable = &collationTable;
    options.decode.ansiCodePage = ansiCodePage;
    options.decode.tableDisplayActive = tableDisplayActive.load();
    options.recoveryMode = recoveryMode;
    return options;
  }

  CollationChoice collationChoice() const {
    return CollationChoice{&collationTable, autoDetectCollation, manualCollationId};
  }
};

}  // namespace quill
