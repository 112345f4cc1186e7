// The catalog of the real data files: every object and column the creation
// scripts define (expected/objects.tsv and expected/columns.tsv beside the
// files) is found with its type code, in order, with its type name and
// nullability. Skips when the folder is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "catalog/load_catalog.h"
#include "catalog/resolve_object.h"
#include "support/real_data.h"
#include "support/temp_dir.h"
#include "scan/application_state.h"

namespace quill {
namespace {

const std::string kRoot = QUILLSTONE_REAL_DATA_DIR;

std::vector<std::vector<std::string>> ReadTsv(const std::string& path) {
  std::vector<std::vector<std::string>> rows;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::vector<std::string> cells;
    std::stringstream fields(line);
    std::string cell;
    while (std::getline(fields, cell, '\t')) cells.push_back(cell);
    rows.push_back(cells);
  }
  return rows;
}

// "nvarchar(20)" -> "nvarchar".
std::string TypeName(const std::string& type) { return type.substr(0, type.find('(')); }

bool HasScriptObjects(const testing::RealFile& file) {
  return std::filesystem::exists(file.folder / "expected" / "objects.tsv");
}

TEST(RealCatalog, ThreeFoldersListTheirScriptObjects) {
  if (!std::filesystem::exists(kRoot)) GTEST_SKIP() << "no real data at " << kRoot;
  EXPECT_EQ(testing::RealFiles(HasScriptObjects).size(), 3u);
}

class RealScriptCatalog : public testing::RealFileTest {};

TEST_P(RealScriptCatalog, ScriptObjectsAndColumnsAreInTheCatalog) {
  const std::string expected = folder().string() + "/expected";
  // The music store file was created by its application's code-first
  // model: its required columns are NOT NULL and its strings nvarchar
  // where the tutorial script says otherwise. Only the other two files
  // were created by their scripts, so only there types and nullability
  // must match the script.
  const bool created_by_script = name() != "mvcmusicstore-2008r2";
  ApplicationState state;
  CDatabaseFile file;
  ASSERT_TRUE(file.Open(path(), nullptr));
  auto catalog = LoadCatalog(file, state.readOptions(), state.collationChoice());
  ASSERT_NE(catalog, nullptr);

  for (const auto& row : ReadTsv(expected + "/objects.tsv")) {
    ASSERT_EQ(row.size(), 2u);
    const bool found = std::any_of(catalog->objects.begin(), catalog->objects.end(), [&](const ObjectRow& o) {
      return o.name == row[1] && o.typeCode == row[0];
    });
    EXPECT_TRUE(found) << row[0] << " " << row[1];
  }

  std::map<std::string, std::vector<std::vector<std::string>>> columns_by_table;
  std::vector<std::string> table_order;
  for (const auto& row : ReadTsv(expected + "/columns.tsv")) {
    if (!columns_by_table.contains(row[0])) table_order.push_back(row[0]);
    columns_by_table[row[0]].push_back(row);
  }
  for (const std::string& table : table_order) {
    SCOPED_TRACE(table);
    const auto& expected_columns = columns_by_table[table];
    const auto descriptors = ResolveObject(*catalog, file, catalog->isSql2000, table, "U ", {});
    ASSERT_EQ(descriptors.size(), expected_columns.size());
    EXPECT_TRUE(catalog->current.foundFlag);
    // Tables the script fills have data pages.
    if (std::filesystem::exists(expected + "/" + table + ".csv")) {
      EXPECT_FALSE(catalog->current.pageList.empty());
    }
    for (size_t i = 0; i < descriptors.size(); ++i) {
      const auto& want = expected_columns[i];
      EXPECT_EQ(descriptors[i].name, want[1]) << i;
      if (created_by_script) {
        EXPECT_EQ(TypeName(descriptors[i].typeText), TypeName(want[2])) << want[1];
        EXPECT_EQ(descriptors[i].nullable, want[3] == "1") << want[1];
      }
      // SQL Server 2000 column rows carry no identity value.
      if (!catalog->isSql2000) {
        EXPECT_EQ(!descriptors[i].identityText.empty(), want[4] == "1") << want[1];
      }
    }
  }
}

QUILL_REAL_FILE_TESTS(RealScriptCatalog, testing::RealFiles(HasScriptObjects));

class RealCatalogFile : public testing::RealFileTest {};

TEST_P(RealCatalogFile, LoadsWithoutBogusObjects) {
  ApplicationState state;
  CDatabaseFile file;
  ASSERT_TRUE(file.Open(path(), nullptr));
  auto catalog = LoadCatalog(file, state.readOptions(), state.collationChoice());
  ASSERT_FALSE(catalog->objects.empty());
  for (const ObjectRow& object : catalog->objects) {
    EXPECT_GT(object.objectId, 0);
    EXPECT_EQ(object.typeCode.size(), 2u);
    EXPECT_EQ(object.name.rfind("Repair", 0), std::string::npos) << object.objectId;
  }
  // An undamaged file gives every system table page's records.
  for (const SystemPageFailure& failure : catalog->pageFailures) {
    ADD_FAILURE() << "system object " << failure.objectId << ": " << failure.reason.Text();
  }
}

}  // namespace
}  // namespace quill

namespace quill {
namespace {

// "P=7, U=13, V=16; LOB: ..." -> {"P ": 7, "U ": 13, "V ": 16}; type codes
// of one letter are padded with a blank as stored.
std::map<std::string, int> ListedObjectCounts(const std::string& contents) {
  std::map<std::string, int> counts;
  const std::string head = contents.substr(0, contents.find(';'));
  std::stringstream items(head);
  std::string item;
  while (std::getline(items, item, ',')) {
    const size_t start = item.find_first_not_of(' ');
    const size_t equals = item.find('=');
    if (start == std::string::npos || equals == std::string::npos) continue;
    std::string code = item.substr(start, equals - start);
    if (code.size() == 1) code += ' ';
    counts[code] = std::stoi(item.substr(equals + 1));
  }
  return counts;
}

TEST_P(RealCatalogFile, ObjectCountsMatchTheSurvey) {
  std::ifstream readme(kRoot + "/README.md");
  std::string line;
  int rows = 0;
  while (std::getline(readme, line)) {
    if (line.rfind("| ", 0) != 0) continue;
    std::vector<std::string> cells;
    std::stringstream row(line.substr(1));
    std::string cell;
    while (std::getline(row, cell, '|')) cells.push_back(cell);
    if (cells.size() < 7 || cells[0].find('/') == std::string::npos || cells[1].find_first_of("0123456789") == std::string::npos) continue;
    const std::string relative = cells[0].substr(cells[0].find_first_not_of(' '), cells[0].find_last_not_of(' ') - cells[0].find_first_not_of(' ') + 1);
    if (!relative.starts_with(name() + "/")) continue;
    const std::map<std::string, int> expected = ListedObjectCounts(cells.back());
    ++rows;
    ApplicationState state;
    CDatabaseFile file;
    ASSERT_TRUE(file.Open(path(), nullptr));
    auto catalog = LoadCatalog(file, state.readOptions(), state.collationChoice());
    std::map<std::string, int> found;
    for (const ObjectRow& object : catalog->objects) {
      // Every SQL Server 2000 database ships two system views of its own;
      // the survey counts user objects only.
      if (catalog->isSql2000 && (object.name == "syssegments" || object.name == "sysconstraints")) continue;
      if (object.typeCode == "U " || object.typeCode == "V " || object.typeCode == "P " ||
          object.typeCode == "FN" || object.typeCode == "TR") {
        ++found[object.typeCode];
      }
    }
    EXPECT_EQ(found, expected);
  }
  EXPECT_EQ(rows, 1) << "rows of the README for this folder";
}

QUILL_REAL_FILE_TESTS(RealCatalogFile, testing::RealFiles());

}  // namespace
}  // namespace quill

namespace quill {
namespace {

// Damaged copies of real files (written to a temporary folder): random
// bytes of the system table pages flipped. Loading the catalog and
// resolving every table must neither crash nor hang; what comes out is not
// asserted beyond that.
class RealDamagedCatalog : public testing::RealFileTest {};

TEST_P(RealDamagedCatalog, DamagedSystemPagesNeverCrashTheLoad) {
  uint64_t x = 0x243F6A8885A308D3ull;
  const auto next = [&x] {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    return x;
  };
  testing::TempDir dir;
  size_t resolved = 0;
  std::ifstream in(path(), std::ios::binary);
  const std::vector<uint8_t> original((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The system table pages of the healthy file.
  std::vector<int32_t> system_pages;
  {
    ApplicationState state;
    CDatabaseFile file;
    ASSERT_TRUE(file.Open(path(), nullptr));
    for (const auto& [id, refs] : file.systemPages()) {
      for (const PageRef& ref : refs) system_pages.push_back(ref.pageIndex);
    }
  }
  ASSERT_FALSE(system_pages.empty());
  for (int round = 0; round < 8; ++round) {
    std::vector<uint8_t> damaged = original;
    for (int flip = 0; flip < 400; ++flip) {
      const size_t page = static_cast<size_t>(system_pages[next() % system_pages.size()]);
      const size_t offset = page * 8192 + 96 + next() % (8192 - 96);
      if (offset < damaged.size()) damaged[offset] = static_cast<uint8_t>(next());
    }
    const std::string path = dir.File("damaged.mdf");
    ASSERT_TRUE(testing::WriteBytes(path, damaged));
    ApplicationState state;
    CDatabaseFile file;
    if (!file.Open(path, nullptr)) continue;
    auto catalog = LoadCatalog(file, state.readOptions(), state.collationChoice());
    for (const ObjectRow& object : std::vector<ObjectRow>(catalog->objects)) {
      if (object.typeCode != "U ") continue;
      ResolveObject(*catalog, file, catalog->isSql2000, object.name, object.typeCode, {});
      ++resolved;
    }
  }
  EXPECT_GT(resolved, 0u);
}

QUILL_REAL_FILE_TESTS(RealDamagedCatalog,
                      testing::RealFiles({"northwind-sql2000", "pubs-2005-from2000", "eftours-2012"}));

}  // namespace
}  // namespace quill
