// The log file of a run and the output lines that go to it.
//
// Every line the user should see goes to the output pane and, in the same
// order, to the run's log file: UTF-16LE text, a byte-order mark FF FE at
// the start of a new file, each line ended by CR LF (0D 00 0A 00), no time
// stamps. A run opens the log when it starts; a second run in the same
// second appends to the same file after a separator line of 80 asterisks.
// When the file cannot be created the lines still reach the pane and the
// run goes on.
//
// A RunLog is shared by the worker, which adds lines, and the window, which
// opens, closes and numbers its own lines: every member may be called from
// either thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <atomic>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>

#include "scan/scan_ui.h"

namespace quill {

// Log file name prefixes of the two kinds of run.
inline constexpr char kScanLogPrefix[] = "VelmoraSharepointDatabaseRec_log_";
inline constexpr char kSnapshotLogPrefix[] = "VelmoraSQLDatabaseRec_log_";

// The file name of a run's log: folder, prefix, the local start time as
// day-month-year-hour-minute-second without leading zeros, ".txt". A run at
// 09:05:07 on 3 February 2024 gives "<prefix>3-2-2024-9-5-7.txt". Without a
// time (the conversion failed) the date fields are 0 and the time fields -1.
std::string RunLogFileName(const std::string& folder, const std::string& prefix,
                           const std::optional<std::tm>& local_time);

class RunLog {
 public:
  RunLog() = default;
  ~RunLog() { Close(); }
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Closes any open log, then creates `path` with the byte-order mark or
  // opens it for appending, and writes the separator. False when the file
  // cannot be opened; lines are then not logged.
  bool Open(const std::string& path);
  void Close();
  bool isOpen() const;

  // Appends text (UTF-8, written as UTF-16LE) followed by CR LF.
  void AppendLine(const std::string& text);
  // Appends text as it stands, without a line end.
  void Append(const std::string& text);

  // The running number of the output pane's lines: TakeOutputLine returns
  // the number of the next line and advances the count.
  int32_t TakeOutputLine() { return outputLineCount_.fetch_add(1, std::memory_order_relaxed); }
  int32_t outputLineCount() const { return outputLineCount_.load(std::memory_order_relaxed); }

 private:
  void CloseLocked();
  void AppendLocked(const std::string& text);

  mutable std::mutex mutex_;
  std::FILE* file_ = nullptr;
  std::atomic<int32_t> outputLineCount_{0};
};

// Opens the log of a run that starts now: the name from `folder`, `prefix`
// and the local time. Returns the path (opened or not); a scan keeps it as
// its logFilePath. An empty `folder` means that the run keeps no log: any
// open log is closed and the path is empty.
std::string OpenRunLog(RunLog& log, const std::string& prefix, const std::string& folder);

// Shows `text` as the log's next output line number, advances the count,
// and appends the text and CR LF to the log.
void AddOutputLine(ScanUi& ui, RunLog& log, const std::string& text);

// Replaces the text of the last output line (a running count such as
// " row 12 inserted"); the log keeps the line it was given first.
void ReplaceLastOutputLine(ScanUi& ui, const RunLog& log, const std::string& text);

}  // namespace quill
