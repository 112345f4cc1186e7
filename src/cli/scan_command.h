// `quillstone scan FILE` and `quillstone snapshot FILE SNAP`: the whole scan
// of a data file (or of a saved snapshot) as the desktop application runs
// it, with the output lines on stdout and the resulting trees as text.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "scan/application_state.h"
#include "common/progress_sink.h"

namespace quill {

struct ScanRequest {
  std::string path;                     // the data file; ignored with `snapshot`
  bool documents = false;               // print the SharePoint trees even without content tables
  std::string collation = "auto";       // "auto" or a collation name
  std::string logFolder;                // empty: no log file
  std::optional<std::string> snapshot;  // load the page maps from this snapshot
};

// Runs the scan: numbered output lines on `out` as they come, progress,
// status, errors and boxes on stderr (`progress`), then the object tree and
// (with `documents`, or whenever the database has SharePoint content) the
// document tree, indented by two spaces per level. The recovery mode and
// deleted-record options come from `state`. Exit 0 when the scan completed,
// 1 when it failed.
int RunScanCommand(const ScanRequest& request, ApplicationState& state, ProgressSink& progress,
                   std::ostream& out);

// Scans FILE and saves its page maps to SNAP (".VLMSNP" added when SNAP has
// no extension). Exit 0 when saved, 1 when the scan or the save failed.
int RunSnapshotCommand(const ScanRequest& request, const std::string& snapshot_path,
                       ApplicationState& state, ProgressSink& progress, std::ostream& out);

}  // namespace quill
