// How a command opens its data file: as a scan opens it (file set, catalog,
// the options the catalog load found), without the scan's output lines.
#pragma once

#include <string>

#include "common/progress_sink.h"
#include "scan/application_state.h"
#include "scan/scan_context.h"

namespace quill {

// Opens `path` into `context` with the state's options; false when the file
// set does not open (the reason went to `progress`).
bool OpenDatabase(const std::string& path, ApplicationState& state, ProgressSink& progress,
                  ScanContext& context);

}  // namespace quill
