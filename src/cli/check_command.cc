#include "cli/check_command.h"

#include <fmt/format.h>

#include "catalog/load_catalog.h"
#include "cli/info_command.h"
#include "pages/database_file.h"
#include "pages/page_check.h"

namespace quill {

int RunCheckCommand(const std::string& path, ApplicationState& state, ProgressSink& progress,
                    std::ostream& out) {
  state.ResetScanResults();
  state.isSql2000 = false;
  CDatabaseFile file(state);
  if (!file.Open(path, &progress)) return kExitCannotScan;
  // The catalog's file list names the secondary files of this database.
  LoadCatalog(file, state);

  FileSetCheckSummary summary = CheckFileSetPages(
      file,
      [&out](const DamagedPage& page) {
        out << fmt::format("page {}:{} object {}: {}\n", page.fileId, page.pageId, page.objectId,
                           page.problem);
      },
      &progress);
  out << fmt::format("checked {} pages in {} file{}: {} damaged, {} zero", summary.pagesChecked,
                     summary.filesChecked, summary.filesChecked == 1 ? "" : "s",
                     summary.damagedPages, summary.zeroPages);
  if (summary.filesUnreadable > 0) {
    out << fmt::format(", {} file{} not readable", summary.filesUnreadable,
                       summary.filesUnreadable == 1 ? "" : "s");
  }
  if (summary.aborted) out << ", stopped";
  out << '\n';
  return summary.damagedPages > 0 ? kExitDamagedPages : kExitOk;
}

}  // namespace quill
