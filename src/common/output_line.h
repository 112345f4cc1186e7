// Where a pass writes the lines of the output pane (which the application
// also appends to the run's log file). Lines are UTF-8, without line end.
#pragma once

#include <functional>
#include <string>

namespace quill {

using OutputLine = std::function<void(const std::string&)>;

}  // namespace quill
