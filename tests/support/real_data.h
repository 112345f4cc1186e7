// Where the real data files are: one folder per file under the real data
// root (QUILLSTONE_REAL_DATA_DIR), each holding one primary data file; and
// the base of the tests that run once per file.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace quill::testing {

// The primary data file (".mdf", any case) in `folder`; empty when none.
std::string PrimaryFileIn(const std::filesystem::path& folder);

// Every primary data file below `root`, sorted by path.
std::vector<std::string> RealDataFiles(const std::string& root);

// One real data file as a test parameter.
struct RealFile {
  std::string name;              // its folder's name, e.g. "northwind-sql2000"
  std::filesystem::path folder;  // empty when there is no real data
  std::string path;              // the primary data file
};

// Test listings show the folder's name.
inline void PrintTo(const RealFile& file, std::ostream* out) { *out << file.name; }

// The folders of the real data root that hold a primary data file and
// satisfy `wanted`, sorted by name. Without the root: one parameter without
// a folder, so that each test shows as skipped rather than vanishing.
std::vector<RealFile> RealFiles(const std::function<bool(const RealFile&)>& wanted = {});
// The named folders only (absent ones left out).
std::vector<RealFile> RealFiles(const std::vector<std::string>& names);

// "northwind-sql2000" -> "northwind_sql2000": the folder's name as a test name.
std::string RealFileTestName(const ::testing::TestParamInfo<RealFile>& info);

// Base of a test run once per real data file; skips without real data.
class RealFileTest : public ::testing::TestWithParam<RealFile> {
 protected:
  void SetUp() override {
    if (GetParam().path.empty()) GTEST_SKIP() << "no real data at " << QUILLSTONE_REAL_DATA_DIR;
  }
  const std::string& path() const { return GetParam().path; }
  const std::filesystem::path& folder() const { return GetParam().folder; }
  const std::string& name() const { return GetParam().name; }
};

}  // namespace quill::testing

// Runs the tests of `suite` once per file of `files`, each named after its
// folder.
#define QUILL_REAL_FILE_TESTS(suite, files) \
  INSTANTIATE_TEST_SUITE_P(Real, suite, ::testing::ValuesIn(files), ::quill::testing::RealFileTestName)
