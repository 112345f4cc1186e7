#include "cli/check_command.h"

#include <fmt/format.h>

#include "catalog/load_catalog.h"
#include "cli/info_command.h"
#include "pages/database_file.h"
#include "pages/page_check.h"
#include "cli/open_database.h"

namespace quill {

int RunCheckCommand(const std::string& path, ApplicationState& state, ProgressSink& progress,
                    std::ostream& out) {
  // The catalog's file list names the secondary files of this database.
  ScanContext context;
  if (!OpenDatabase(path, state, progress, context)) return kExitCannotScan;
  const CDatabaseFile& file = *context.fileSet;

  FileSetCheckSummary summary = CheckFileSetPages(
      file,
      [&out](const DamagedPage& page) {
        out << fmt::format("page {}:{} object {}: {}\n", page.fileId, page.pageId, page.objectId,
                           page.problem);
      },
      &progress, context.options.stop());
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
