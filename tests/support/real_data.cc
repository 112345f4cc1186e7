#include "support/real_data.h"

#include <algorithm>
#include <cctype>

namespace quill::testing {

namespace {

bool IsPrimaryDataFile(const std::filesystem::directory_entry& entry) {
  std::string extension = entry.path().extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return entry.is_regular_file() && extension == ".mdf";
}

}  // namespace

std::string PrimaryFileIn(const std::filesystem::path& folder) {
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (IsPrimaryDataFile(entry)) return entry.path().string();
  }
  return {};
}

std::vector<std::string> RealDataFiles(const std::string& root) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (IsPrimaryDataFile(entry)) files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace quill::testing
