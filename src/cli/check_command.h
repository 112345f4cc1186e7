// `quillstone check FILE`: checks every page of a data file set (page
// address, torn-page bits, page checksum) and prints one line per damaged
// page and a summary line.
#pragma once

#include <ostream>
#include <string>

#include "scan/application_state.h"
#include "common/progress_sink.h"

namespace quill {

// Exit code of `check` when at least one page is damaged.
inline constexpr int kExitDamagedPages = 3;

// Opens `path`, reads its catalog to find the secondary files it names and
// checks every page of every file. Prints, per damaged page,
//   "page FILEID:PAGEID object OBJECTID: WHAT IS WRONG"
// and then
//   "checked N pages in F files: D damaged, Z zero"
// Returns kExitOk when no page is damaged, kExitDamagedPages when some
// are, kExitCannotScan when the file cannot be opened (the reason goes to
// `progress`, ScanError).
int RunCheckCommand(const std::string& path, ApplicationState& state, ProgressSink& progress,
                    std::ostream& out);

}  // namespace quill
