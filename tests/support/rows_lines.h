// The lines `quillstone rows` writes for one table, run in-process.
#pragma once

#include <string>
#include <vector>

#include "cli/rows_command.h"
#include "scan/application_state.h"

namespace quill::testing {

// The lines the rows command writes for `table` of the file at `path`,
// header first, without line ends. Expects the command to succeed.
std::vector<std::string> RowsLines(const std::string& path, const std::string& table, RecoveryMode mode,
                                   RowsFormat format = RowsFormat::kCsv);

}  // namespace quill::testing
