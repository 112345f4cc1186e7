// Runs a piece of work in a forked child under a time limit: a child that
// is still running at the limit is killed (a hang), one that ends by a
// signal or with another exit code than 0 crashed. What the child writes
// to its pipe comes back as its output; its stderr goes to a file.
#pragma once

#include <functional>
#include <string>

namespace quill::sweep {

enum class ChildEnd { kDone, kCrashed, kHung };

struct ChildResult {
  ChildEnd end = ChildEnd::kCrashed;
  std::string output;
  std::string how;  // "signal 11", "exit 1", "killed after 20 s"
  double seconds = 0;
};

// Forks; the child runs `work`, writes what it returns to the pipe and
// exits 0 at once (no destructors, no exit handlers). The parent reads the
// pipe until the child closes it or the time limit passes. The child's
// stderr is sent to `error_path` (truncated). Output beyond `output_limit`
// bytes counts as a crash.
ChildResult RunInChild(const std::function<std::string()>& work, double time_limit_seconds,
                       const std::string& error_path, size_t output_limit);

}  // namespace quill::sweep
