// The rows of the real files' tables against the rows their creation
// scripts insert (expected/<Table>.csv beside the files; "*" matches any
// cell), tables whose rows were once listed wrongly, and what every table
// of every file must keep without an oracle. Skips when the folder is
// absent.
#include <gtest/gtest.h>

#include "support/real_data.h"
#include "support/rows_lines.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "catalog/resolve_object.h"
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

bool HasExpectedRows(const testing::RealFile& file) {
  return std::filesystem::exists(file.folder / "expected");
}

// The expected tables of all folders together.
TEST(RealRows, TwentyFiveTablesHaveExpectedRows) {
  if (!std::filesystem::exists(kRoot)) GTEST_SKIP() << "no real data at " << kRoot;
  size_t tables = 0;
  for (const testing::RealFile& file : testing::RealFiles(HasExpectedRows)) {
    for (const auto& entry : std::filesystem::directory_iterator(file.folder / "expected")) {
      if (entry.path().extension() == ".csv") ++tables;
    }
  }
  EXPECT_EQ(tables, 25u);
}

class RealScriptRows : public testing::RealFileTest {};

TEST_P(RealScriptRows, ScriptRowsAreListedWithTheirCellTexts) {
  // The music store was filled by its application's seed, not by the
  // script: it holds fewer artists than the script inserts, so there only
  // the rows listed are checked against the script's.
  const bool filled_by_script = name() != "mvcmusicstore-2008r2";
  size_t tables = 0;
  EXPECT_GT(CompareWithExpected(path(), folder() / "expected", filled_by_script, tables), 0u);
  EXPECT_GT(tables, 0u);
}

QUILL_REAL_FILE_TESTS(RealScriptRows, testing::RealFiles(HasExpectedRows));

// Northwind attached to later versions keeps the SQL Server 2000 page
// headers of its tables: the leaf pages of a clustered table carry index
// id 0 under a unit of index 1. Every row the script inserts is listed.
class RealUpgradedNorthwind : public testing::RealFileTest {};

TEST_P(RealUpgradedNorthwind, ListsTheScriptRows) {
  const std::filesystem::path expected = std::filesystem::path(kRoot) / "northwind-sql2000" / "expected";
  size_t tables = 0;
  EXPECT_GT(CompareWithExpected(path(), expected, /*whole=*/true, tables), 3000u);
}

QUILL_REAL_FILE_TESTS(RealUpgradedNorthwind,
                      testing::RealFiles({"northwind-2005-from2000", "northwind-2008-from2000",
                                          "northwind-2008r2-from2000"}));

}  // namespace
}  // namespace quill

#include "catalog/load_catalog.h"

namespace quill {
namespace {

class RealTableRows : public testing::RealFileTest {};

TEST_P(RealTableRows, EveryTableLists) {
  const std::string& path = this->path();
  size_t tables = 0;
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
      EXPECT_FALSE(testing::RowsLines(path, name, mode).empty());  // at least the header
    }
    ++tables;
  }
  EXPECT_GT(tables, 0u);
}

QUILL_REAL_FILE_TESTS(RealTableRows, testing::RealFiles());

// The TSV lines `quillstone rows` writes for `table`, header first.
std::vector<std::string> ListedLines(const std::string& path, const std::string& table,
                                     RecoveryMode mode = RecoveryMode::kStandard) {
  return testing::RowsLines(path, table, mode, RowsFormat::kTsv);
}

std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells;
  std::istringstream in(line);
  for (std::string cell; std::getline(in, cell, '\t');) cells.push_back(cell);
  if (!line.empty() && line.back() == '\t') cells.emplace_back();
  return cells;
}

// Rows once listed that are not in their tables: empty tables that showed
// another table's rows (their rowset id is another table's unit id), a heap
// row listed through its forwarding stub and again where it lies, and a
// column added after a record was written that read empty instead of NULL.
TEST(RealRows, EmptyTablesMovedRowsAndAddedColumns) {
  if (!std::filesystem::exists(kRoot)) GTEST_SKIP() << "no real data at " << kRoot;
  struct Case {
    const char* folder;
    const char* table;
    size_t rows;
  };
  const Case cases[] = {
      {"aspnetdb-2008", "aspnet_Profile", 0},     // rowset id = aspnet_Applications' unit id
      {"aspnetdb-2008r2", "aspnet_Profile", 0},
      {"aspnetdb-2008", "aspnet_Paths", 0},       // rowset id = aspnet_SchemaVersions' unit id
      {"webshop-2008", "DiscountSubEvent", 0},
      {"shafici-2008", "Students", 201},          // page 214 slot 24 -> 1:187 slot 0
  };
  for (const Case& c : cases) {
    for (RecoveryMode mode : {RecoveryMode::kStandard, RecoveryMode::kAdvanced}) {
      SCOPED_TRACE(std::string(c.folder) + " " + c.table + (mode == RecoveryMode::kStandard ? " standard" : " advanced"));
      const auto lines = ListedLines(testing::PrimaryFileIn(std::filesystem::path(kRoot) / c.folder), c.table, mode);
      ASSERT_FALSE(lines.empty());
      EXPECT_EQ(lines.size() - 1, c.rows);
      if (std::string(c.table) == "Students") {
        ASSERT_EQ(Cells(lines[0]).at(0), "StudentID");
        EXPECT_EQ(std::count_if(lines.begin() + 1, lines.end(),
                                [](const std::string& line) { return Cells(line).at(0) == "9665"; }),
                  1);
      }
    }
  }

  // FullName was added (nullable, no default) after the row of test@test.pt
  // was written: page 244 slot 1 stores 13 of the 14 columns.
  const auto lines = ListedLines(testing::PrimaryFileIn(std::filesystem::path(kRoot) / "identity-2014"), "AspNetUsers");
  ASSERT_EQ(lines.size(), 6u);
  const auto header = Cells(lines[0]);
  const auto full_name = std::find(header.begin(), header.end(), "FullName") - header.begin();
  const auto email = std::find(header.begin(), header.end(), "Email") - header.begin();
  ASSERT_EQ(full_name, 13);
  for (size_t i = 1; i < lines.size(); ++i) {
    const auto cells = Cells(lines[i]);
    ASSERT_EQ(cells.size(), header.size());
    if (cells[static_cast<size_t>(email)] == "test@test.pt") {
      EXPECT_EQ(cells[static_cast<size_t>(full_name)], "NULL");
    } else {
      EXPECT_NE(cells[static_cast<size_t>(full_name)], "NULL");
      EXPECT_FALSE(cells[static_cast<size_t>(full_name)].empty());
    }
  }
}

// Whether the catalog says the table has no page: its in-row data units
// (the SQL Server 2000 sysindexes row) name none.
bool AllocationNamesNoPage(const SystemCatalog& catalog, int32_t table_id, bool sql2000) {
  if (sql2000) {
    auto it = catalog.legacyIndexes.find(table_id);
    return it != catalog.legacyIndexes.end() && it->second.firstPageId == 0 && it->second.firstIamPageId == 0;
  }
  bool any = false;
  for (const RowsetRow& rowset : catalog.rowsets) {
    if (rowset.objectId != table_id || rowset.indexId > 1) continue;
    for (const AllocUnitRow& unit : catalog.allocUnits) {
      if (unit.ownerId != rowset.rowsetId || unit.type != 1) continue;
      if (!unit.namesNoPage()) return false;
      any = true;
    }
  }
  return any;
}

// What every file must keep without knowing its rows, in standard mode: a
// table whose allocation names no page lists no row; a table with a primary
// key or a unique constraint lists no row twice; a NOT NULL column of a
// fixed-width type has no empty cell.
class RealRowsWithoutOracle : public testing::RealFileTest {};

TEST_P(RealRowsWithoutOracle, EveryTableKeepsWhatNeedsNoOracle) {
  const std::string& path = this->path();
  ApplicationState state;
  CDatabaseFile file;
  ASSERT_TRUE(file.Open(path, nullptr));
  const auto catalog = LoadCatalog(file, state.readOptions(), state.collationChoice());
  state.isSql2000 = catalog->isSql2000;
  std::vector<ObjectRow> tables;
  for (const ObjectRow& object : catalog->objects) {
    if (object.typeCode == "U ") tables.push_back(object);
  }
  for (const ObjectRow& table : tables) {
    SCOPED_TRACE(table.name);
    const auto columns = ResolveObject(*catalog, file, state.isSql2000, table.name, "U ", {});
    if (!catalog->current.foundFlag || catalog->current.object.objectId != table.objectId) continue;
    std::vector<const ColumnDescriptor*> listed;
    bool keyed = false;
    for (const ColumnDescriptor& column : columns) {
      if (state.isSql2000 || column.ordinal != kNoStoredDataOrdinal) listed.push_back(&column);
      keyed = keyed || column.primaryKey || column.uniqueConstraint;
    }
    const auto lines = ListedLines(path, table.name);
    ASSERT_FALSE(lines.empty());

    if (AllocationNamesNoPage(*catalog, table.objectId, state.isSql2000)) {
      EXPECT_EQ(lines.size(), 1u) << "rows in a table without pages";
    }
    if (keyed) {
      std::set<std::string> seen;
      for (size_t i = 1; i < lines.size(); ++i) EXPECT_TRUE(seen.insert(lines[i]).second) << lines[i];
    }
    for (size_t i = 1; i < lines.size(); ++i) {
      const auto cells = Cells(lines[i]);
      ASSERT_EQ(cells.size(), listed.size()) << lines[i];
      for (size_t k = 0; k < listed.size(); ++k) {
        if (listed[k]->nullable || listed[k]->variableLength) continue;
        EXPECT_FALSE(cells[k].empty()) << listed[k]->name << " in " << lines[i];
      }
    }
  }
}

QUILL_REAL_FILE_TESTS(RealRowsWithoutOracle, testing::RealFiles());

}  // namespace
}  // namespace quill
