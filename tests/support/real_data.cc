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

std::vector<RealFile> RealFiles(const std::function<bool(const RealFile&)>& wanted) {
  const std::filesystem::path root = QUILLSTONE_REAL_DATA_DIR;
  std::error_code error;
  if (!std::filesystem::is_directory(root, error)) return {RealFile{"no_real_data", {}, {}}};
  std::vector<RealFile> files;
  for (const auto& entry : std::filesystem::directory_iterator(root, error)) {
    if (!entry.is_directory()) continue;
    RealFile file{entry.path().filename().string(), entry.path(), PrimaryFileIn(entry.path())};
    if (file.path.empty() || (wanted && !wanted(file))) continue;
    files.push_back(std::move(file));
  }
  std::sort(files.begin(), files.end(), [](const RealFile& a, const RealFile& b) { return a.name < b.name; });
  return files;
}

std::vector<RealFile> RealFiles(const std::vector<std::string>& names) {
  return RealFiles([&names](const RealFile& file) {
    return std::find(names.begin(), names.end(), file.name) != names.end();
  });
}

std::string RealFileTestName(const ::testing::TestParamInfo<RealFile>& info) {
  std::string name = info.param.name;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

}  // namespace quill::testing
