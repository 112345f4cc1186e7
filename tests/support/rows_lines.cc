#include "support/rows_lines.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/info_command.h"
#include "common/progress_sink.h"

namespace quill::testing {

std::vector<std::string> RowsLines(const std::string& path, const std::string& table, RecoveryMode mode,
                                   RowsFormat format) {
  ApplicationState state;
  state.recoveryMode = mode;
  NullProgressSink progress;
  std::ostringstream out;
  RowsRequest request;
  request.path = path;
  request.table = table;
  request.format = format;
  EXPECT_EQ(RunRowsCommand(request, state, progress, out), kExitOk) << table;
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace quill::testing
