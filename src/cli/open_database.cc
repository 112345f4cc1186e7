#include "cli/open_database.h"

namespace quill {

bool OpenDatabase(const std::string& path, ApplicationState& state, ProgressSink& progress,
                  ScanContext& context) {
  ReadOptions options = state.readOptions();
  options.parse.isSql2000 = false;  // the catalog load finds the layout
  return OpenScanContext(path, context, options, state.collationChoice(), state.abortRequested,
                         progress);
}

}  // namespace quill
