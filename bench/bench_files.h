// Files of the benchmarks: a fresh folder for the generated data files and
// a pass that puts a file into the page cache before the timed runs.
#pragma once

#include <optional>
#include <string>

namespace quill::bench {

// Creates a new folder "<TMPDIR or /tmp>/<name>.XXXXXX"; nothing when it
// cannot be created. The caller removes it.
std::optional<std::string> MakeBenchFolder(const std::string& name);

// Reads `path` front to back so that the timed runs find it in the page
// cache.
void WarmPageCache(const std::string& path);

}  // namespace quill::bench
