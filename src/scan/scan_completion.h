// The last stage of a scan, on the scan thread once the catalog is loaded:
// the object tree's root and categories, the SharePoint content and its
// trees, the object items, the stored object values, and the closing
// messages.
#pragma once

#include "scan/application_state.h"
#include "scan/run_log.h"
#include "scan/scan_context.h"
#include "scan/scan_ui.h"

namespace quill {

inline constexpr char kScanCompletedCaption[] = "Scanning completed for selected mdf file";
inline constexpr char kScanCompletedLine[] = "Scanning completed for selected mdf file.";
inline constexpr char kScanCompletedBox[] = "Scanning process completed.";
inline constexpr char kNoNamedObjects[] =
    "Whether it is not valid mdf file or highly corrupted, select another file to recover.";

// Builds what the window shows from the loaded catalog into `context` and
// the trees of `ui`, writes the output lines through `log`, clears
// state.processRunning and ends with a box. Returns 1 when the object list
// has a named row, 0 otherwise. A stop request shortens the readers and
// the tree building; the completion still runs to its end.
int CompleteScan(ScanContext& context, ApplicationState& state, ScanUi& ui, RunLog& log);

}  // namespace quill
