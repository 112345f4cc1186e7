#include "cli/scan_command.h"

#include <fmt/format.h>

#include "cli/cli_scan_ui.h"
#include "cli/info_command.h"
#include "scan/run_log.h"
#include "scan/scan_completion.h"
#include "scan/scan_driver.h"
#include "scan/snapshot_loader.h"
#include "scan/snapshot_writer.h"

namespace quill {

namespace {

// Applies the collation choice: "auto" detects it from the boot page, a
// name picks that collation from the table.
bool ApplyCollationChoice(const std::string& choice, ApplicationState& state, ProgressSink& progress) {
  if (choice == "auto") {
    state.autoDetectCollation = true;
    return true;
  }
  for (const auto& [id, entry] : state.collationTable) {
    if (entry.name == choice) {
      state.autoDetectCollation = false;
      state.manualCollationId = id;
      return true;
    }
  }
  progress.ScanError(fmt::format("unknown collation \"{}\"", choice));
  return false;
}

bool HasSharePointContent(const ScanContext& context) {
  const SharePointContent& content = context.sharePoint;
  return !content.webs.empty() || !content.lists.empty() || !content.documents.empty();
}

// Runs one scan to its end with the command-line face; the context stays
// with `driver`.
int Scan(const ScanRequest& request, ApplicationState& state, ProgressSink& progress,
         RunLog& log, ScanDriver& driver) {
  if (!ApplyCollationChoice(request.collation, state, progress)) return kExitCannotScan;
  state.logFolder = request.logFolder;

  if (!request.snapshot) {
    if (!driver.StartScan(request.path)) return kExitCannotScan;
    driver.Wait();
    return driver.lastResult() == 1 ? kExitOk : kExitCannotScan;
  }

  OpenedSnapshot opened = OpenSnapshot(*request.snapshot);
  if (!opened.status.ok()) {
    progress.ScanError(opened.status.Text());
    return kExitCannotScan;
  }
  OpenRunLog(log, kSnapshotLogPrefix, request.logFolder);
  ApplySnapshotHeader(opened.header, state);
  if (!driver.StartSnapshotScan(&opened.maps)) return kExitCannotScan;
  driver.Wait();
  // The maps are the file set's now; the source ends with this call.
  if (driver.context().fileSet) driver.context().fileSet->SetSnapshotMapSource(nullptr);
  if (!opened.maps.status().ok()) progress.ScanError(opened.maps.status().Text());
  return driver.lastResult() == 1 ? kExitOk : kExitCannotScan;
}

// The command-line face, the log and the driver of one scan.
struct CommandScan {
  CommandScan(ApplicationState& state, ProgressSink& progress, std::ostream& out)
      : ui(out, progress),
        driver(state, ui, log, [this, &state](ScanContext& context) {
          return CompleteScan(context, state, ui, log);
        }) {}

  CliScanUi ui;
  RunLog log;
  ScanDriver driver;
};

}  // namespace

int RunScanCommand(const ScanRequest& request, ApplicationState& state, ProgressSink& progress,
                   std::ostream& out) {
  CommandScan run(state, progress, out);
  CliScanUi& ui = run.ui;
  const int exit_code = Scan(request, state, progress, run.log, run.driver);
  if (exit_code != kExitOk) return exit_code;

  out << "\nObject tree:\n";
  ui.objectTree().Print(out);
  if (request.documents || HasSharePointContent(run.driver.context())) {
    out << "\nDocument tree:\n";
    ui.documentTree().Print(out);
  }
  return kExitOk;
}

int RunSnapshotCommand(const ScanRequest& request, const std::string& snapshot_path,
                       ApplicationState& state, ProgressSink& progress, std::ostream& out) {
  CommandScan run(state, progress, out);
  CliScanUi& ui = run.ui;
  const int exit_code = Scan(request, state, progress, run.log, run.driver);
  if (exit_code != kExitOk) return exit_code;

  // These lines go to the output only, not to the log.
  ui.OutputLine(run.log.TakeOutputLine(), kSavingSnapshot);
  const std::string data_path = request.snapshot ? state.snapshotDataPath : request.path;
  const ScanContext& context = run.driver.context();
  const SnapshotWriteResult written =
      WriteSnapshot(context.fileSet.get(), data_path, context.advancedMode, context.options,
                    context.collation, snapshot_path);
  if (!written.status.ok()) {
    ui.OutputLine(run.log.TakeOutputLine(), written.status.message);
    progress.ScanError(written.status.Text());
    return kExitCannotScan;
  }
  ui.OutputLine(run.log.TakeOutputLine(), kSnapshotSaved + written.path);
  return kExitOk;
}

}  // namespace quill
