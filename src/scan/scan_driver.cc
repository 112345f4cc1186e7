#include "scan/scan_driver.h"

#include <utility>

#include "pages/page_check.h"

namespace quill {

ScanDriver::ScanDriver(ApplicationState& state, ScanUi& ui, RunLog& log, ScanCompletion completion)
    : state_(state), ui_(ui), log_(log), completion_(std::move(completion)) {}

ScanDriver::~ScanDriver() {
  StopScan();
  Wait();
}

void ScanDriver::Wait() {
  if (worker_.joinable()) worker_.join();
}

void ScanDriver::StopScan() {
  // The stop command is there only while a process runs. The flag, not the
  // worker's thread object, says so: StopScan may come from any thread,
  // and the thread object belongs to the thread that starts scans.
  if (!state_.processRunning.load()) return;
  state_.processRunning.store(false);
  state_.abortRequested.RequestStop();
}

void ScanDriver::Line(const std::string& text) { AddOutputLine(ui_, log_, text); }

void ScanDriver::ResetScan() {
  ui_.ObjectTree().DeleteAllItems();
  ui_.DocumentTree().DeleteAllItems();
  context_.Reset();
}

bool ScanDriver::BeginRun() {
  if (state_.processRunning.load()) {
    ui_.MessageBox(kPleaseWait, BoxIcon::kInformation);
    return false;
  }
  // StopScan clears processRunning at once; the stopped worker may still be
  // finishing, and two workers must never share the context.
  Wait();
  state_.processRunning.store(true);
  state_.abortRequested.Clear();
  lastResult_.store(-1);
  return true;
}

bool ScanDriver::StartScan(const std::string& path) {
  if (!BeginRun()) return false;
  state_.selectedFilePath = path;
  ui_.PrepareViewForScan(path);
  state_.logFilePath = OpenRunLog(log_, kScanLogPrefix, state_.logFolder);
  Line(path + kFileSelected);
  state_.snapshotLoadMode = false;
  ResetScan();
  StartWorker(path, nullptr);
  return true;
}

bool ScanDriver::StartSnapshotScan(SnapshotMapSource* source) {
  if (!BeginRun()) return false;
  state_.snapshotLoadMode = true;
  ui_.PrepareViewForScan(state_.snapshotDataPath);
  StartWorker(state_.snapshotDataPath, source);
  return true;
}

void ScanDriver::StartWorker(const std::string& path, SnapshotMapSource* source) {
  // The worker reads a copy of the options as they stand now; a scan finds
  // the catalog layout itself.
  ReadOptions options = state_.readOptions();
  options.parse.isSql2000 = false;
  options.decode.tableDisplayActive = false;
  worker_ = std::thread([this, path, options, collation = state_.collationChoice(),
                         recovery_option = state_.recoveryOption, source] {
    lastResult_.store(ScanThread(path, options, collation, recovery_option, source));
  });
}

int ScanDriver::AbortWith(const char* line, bool box) {
  ui_.HideProgressPanel();
  state_.processRunning.store(false);
  Line(line);
  if (box) ui_.MessageBox(line, BoxIcon::kInformation);
  return 0;
}

int ScanDriver::ScanThread(const std::string& path, ReadOptions options, CollationChoice collation,
                           RecoveryOption recovery_option, SnapshotMapSource* source) {
  ResetScan();
  ui_.ArrangeForRecoveryOption(recovery_option);

  // Shown with every backslash doubled, as the log has always shown paths.
  // The file set opens the path as chosen: on this platform a backslash is
  // an ordinary file name character, so doubling it would name another file.
  std::string shown;
  for (char c : path) {
    shown.push_back(c);
    if (c == '\\') shown.push_back('\\');
  }
  if (!path.empty()) {
    log_.AppendLine(kBrowseFilePath + shown);
    Line(kBrowseFilePath + shown);
  }

  const bool advanced = options.recoveryMode == RecoveryMode::kAdvanced;
  Line(advanced ? kAdvancedModeSelected : kStandardModeSelected);
  context_.advancedMode = advanced;
  Line(kScanningStarts);

  const bool opened =
      OpenScanContext(path, context_, options, collation, state_.abortRequested, ui_, source);
  if (!opened || context_.catalog == nullptr) return AbortWith(kScanAborted, /*box=*/true);
  if (context_.catalog->objects.empty()) return AbortWith(kNoCatalogObjects, /*box=*/false);

  const std::string& version = context_.results.versionName;
  Line(kDatabaseVersion + (version.empty() ? std::string(kUnknownSqlVersion) : version));
  if (const int64_t damaged = context_.fileSet->damagedPageCount(); damaged > 0) {
    Line(DamagedPageCountLine(damaged));
  }
  if (!completion_) {
    ui_.HideProgressPanel();
    state_.processRunning.store(false);
    return 1;
  }
  return completion_(context_);
}

}  // namespace quill
