// The rows of the real files' tables against the rows their creation
// scripts insert (expected/<Table>.csv beside the files; "*" matches any
// cell). Skips when the folder is absent.
#include <gtest/gtest.h>

#include "support/real_data.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/info_command.h"
#include "cli/rows_command.h"
#include "scan/application_state.h"
#include "common/progress_sink.h"

namespace quill {
namespace {

const std::string kRoot = QUILLSTONE_REAL_DATA_DIR;
using CsvRow = std::vector<std::string>;

// RFC 4180: fields quoted with doubled quotes inside; CR LF or LF ends a
// record outside quotes.
std::vector<CsvRow> ParseCsv(const std::string& text) {
  std::vector<CsvRow> rows;
  CsvRow row;
  std::string field;
  bool quoted = false;
  bool in_field = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
      in_field = true;
    } else if (c == ',') {
      row.push_back(std::move(field));
      field.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      continue;
    } else if (c == '\n') {
      row.push_back(std::move(field));
      field.clear();
      rows.push_back(std::move(row));
      row.clear();
      in_field = false;
    } else {
      field += c;
      in_field = true;
    }
  }
  if (in_field || !row.empty()) {
    row.push_back(std::move(field));
    rows.push_back(std::move(row));
  }
  return rows;
}

bool Matches(const CsvRow& want, const CsvRow& got) {
  if (want.size() != got.size()) return false;
  for (size_t i = 0; i < want.size(); ++i) {
    if (want[i] != "*" && want[i] != got[i]) return false;
  }
  return true;
}

// Compares the rows `quillstone rows` lists for every table of
// `expected_dir` in `data_file` with the expected CSV. With `whole` the
// file holds exactly the expected rows; otherwise every row it lists must
// be an expected one. Returns the number of expected rows; counts tables.
size_t CompareWithExpected(const std::string& data_file, const std::filesystem::path& expected_dir,
                           bool whole, size_t& tables) {
  size_t rows_checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(expected_dir)) {
    if (entry.path().extension() != ".csv") continue;
    const std::string table = entry.path().stem().string();
    SCOPED_TRACE(data_file + " " + table);
    ++tables;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<CsvRow> want = ParseCsv(std::string(std::istreambuf_iterator<char>(in), {}));

    ApplicationState state;
    NullProgressSink progress;
    std::ostringstream out;
    RowsRequest request;
    request.path = data_file;
    request.table = table;
    EXPECT_EQ(RunRowsCommand(request, state, progress, out), kExitOk);
    const std::vector<CsvRow> got = ParseCsv(out.str());
    EXPECT_FALSE(want.empty());
    if (want.empty() || got.empty()) {
      ADD_FAILURE() << "no header";
      continue;
    }
    EXPECT_EQ(got[0], want[0]);  // the header: column names in order

    std::vector<bool> used(got.size(), false);
    size_t unmatched = 0;
    for (size_t w = 1; w < want.size(); ++w) {
      bool found = false;
      for (size_t g = 1; g < got.size() && !found; ++g) {
        if (!used[g] && Matches(want[w], got[g])) used[g] = found = true;
      }
      if (!found) ++unmatched;
    }
    if (whole) {
      EXPECT_EQ(unmatched, 0u);
      EXPECT_EQ(got.size(), want.size());
    } else {
      EXPECT_EQ(std::count(used.begin() + 1, used.end(), false), 0);
    }
    rows_checked += want.size() - 1;
  }
  return rows_checked;
}

TEST(RealRows, ScriptRowsAreListedWithTheirCellTexts) {
  if (!std::filesystem::exists(kRoot)) GTEST_SKIP() << "no real data at " << kRoot;
  size_t tables = 0;
  size_t rows_checked = 0;
  for (const auto& folder : std::filesystem::directory_iterator(kRoot)) {
    const auto expected_dir = folder.path() / "expected";
    if (!std::filesystem::exists(expected_dir)) continue;
    // The music store was filled by its application's seed, not by the
    // script: it holds fewer artists than the script inserts, so there only
    // the rows listed are checked against the script's.
    const bool filled_by_script = folder.path().filename() != "mvcmusicstore-2008r2";
    rows_checked += CompareWithExpected(testing::PrimaryFileIn(folder.path()), expected_dir,
                                        filled_by_script, tables);
  }
  EXPECT_EQ(tables, 25u);
  EXPECT_GT(rows_checked, 3900u);
}

// Northwind attached to later versions keeps the SQL Server 2000 page
// headers of its tables: the leaf pages of a clustered table carry index
// id 0 under a unit of index 1. Every row the script inserts is listed.
TEST(RealRows, UpgradedNorthwindListsTheScriptRows) {
  const std::filesystem::path expected = std::filesystem::path(kRoot) / "northwind-sql2000" / "expected";
  if (!std::filesystem::exists(expected)) GTEST_SKIP() << "no real data at " << kRoot;
  for (const char* folder : {"northwind-2005-from2000", "northwind-2008-from2000", "northwind-2008r2-from2000"}) {
    const std::filesystem::path path = std::filesystem::path(kRoot) / folder;
    if (!std::filesystem::exists(path)) continue;
    size_t tables = 0;
    EXPECT_GT(CompareWithExpected(testing::PrimaryFileIn(path), expected, /*whole=*/true, tables), 3000u);
  }
}

}  // namespace
}  // namespace quill

#include "catalog/load_catalog.h"

namespace quill {
namespace {

TEST(RealRows, EveryTableOfEveryFileLists) {
  if (!std::filesystem::exists(kRoot)) GTEST_SKIP() << "no real data at " << kRoot;
  size_t tables = 0;
  for (const auto& folder : std::filesystem::directory_iterator(kRoot)) {
    if (!folder.is_directory()) continue;
    const std::string path = testing::PrimaryFileIn(folder.path());
    SCOPED_TRACE(path);
    std::vector<std::string> names;
    {
      ApplicationState state;
      CDatabaseFile file;
      ASSERT_TRUE(file.Open(path, nullptr));
      const auto catalog = LoadCatalog(file, state.readOptions(), state.collationChoice());
      for (const ObjectRow& object : catalog->objects) {
        if (object.typeCode == "U " || object.typeCode == "S ") names.push_back(object.name);
      }
    }
    for (const std::string& name : names) {
      SCOPED_TRACE(name);
      for (RecoveryMode mode : {RecoveryMode::kStandard, RecoveryMode::kAdvanced}) {
        ApplicationState state;
        state.recoveryMode = mode;
        NullProgressSink progress;
        std::ostringstream out;
        RowsRequest request;
        request.path = path;
        request.table = name;
        EXPECT_EQ(RunRowsCommand(request, state, progress, out), kExitOk);
        EXPECT_FALSE(out.str().empty());  // at least the header
      }
      ++tables;
    }
  }
  EXPECT_GT(tables, 300u);
}

}  // namespace
}  // namespace quill
