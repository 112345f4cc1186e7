// `quillstone info FILE`: opens a data file set and prints what identifies
// it, as "key: value" lines.
#pragma once

#include <ostream>
#include <string>

#include "scan/application_state.h"
#include "records/boot_page.h"
#include "common/progress_sink.h"

namespace quill {


// Exit codes of the command-line tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitCannotScan = 1;
inline constexpr int kExitUsage = 2;

// Opens `path`, reads the boot page and looks for secondary files beside it,
// then prints database, version, version number, collation, pages, base
// offset, secondary files and the mapped pages of each system object.
// Failures are reported through `progress` (ScanError). Returns an exit code.
int RunInfoCommand(const std::string& path, ApplicationState& state, ProgressSink& progress,
                   std::ostream& out);

}  // namespace quill
