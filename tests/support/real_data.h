// Where the real data files are: one folder per file under the real data
// root (QUILLSTONE_REAL_DATA_DIR), each holding one primary data file.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quill::testing {

// The primary data file (".mdf", any case) in `folder`; empty when none.
std::string PrimaryFileIn(const std::filesystem::path& folder);

// Every primary data file below `root`, sorted by path.
std::vector<std::string> RealDataFiles(const std::string& root);

}  // namespace quill::testing
