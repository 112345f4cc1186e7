// Damaged copies of real data files: zeroed pages, flipped bytes, torn
// sectors, a cut tail and garbage before page 0, made by the corruptor in a
// temporary folder. Each copy is opened, its catalog loaded and every user
// table's rows read over its page list: the reader must get through without
// crashing or hanging, and a table none of whose pages (nor its catalog's)
// was touched must give the same rows as in the original. Prints the rows
// recovered per file and copy. Skips when the folder is absent.
#include <gtest/gtest.h>
#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include "catalog/load_catalog.h"
#include "catalog/resolve_object.h"
#include "corruptor.h"
#include "pages/database_file.h"
#include "pages/page_check.h"
#include "scan/scan_completion.h"
#include "scan/scan_driver.h"
#include "support/real_data.h"
#include "support/scan_ui_recorder.h"
#include "support/temp_dir.h"
#include "values/page_rows.h"
#include "scan/application_state.h"
#include "support/read_options.h"
#include "catalog/current_table_pages.h"

namespace quill {
namespace {

struct TableRows {
  std::vector<PageAddress> pages;
  size_t columnCount = 0;
  size_t rows = 0;
};

struct FileRows {
  bool opened = false;
  int64_t baseOffset = 0;
  int64_t damagedPages = 0;
  std::set<int32_t> systemPages;  // primary file pages of the system tables
  std::map<std::string, TableRows> tables;
  size_t totalRows() const {
    size_t total = 0;
    for (const auto& [name, table] : tables) total += table.rows;
    return total;
  }
};

// Opens `path`, loads the catalog and reads every user table's rows over
// the pages its page list names, each page once.
FileRows ReadAllTables(const std::string& path) {
  FileRows result;
  ApplicationState state;
  CDatabaseFile file;
  if (!file.Open(path, nullptr)) return result;
  result.opened = true;
  result.baseOffset = file.baseOffset();
  result.damagedPages = CountDamagedPages(file);
  for (const auto& [object_id, refs] : file.systemPages()) {
    for (const PageRef& ref : refs) result.systemPages.insert(ref.pageIndex);
  }
  auto catalog = LoadCatalog(file, state.readOptions(), state.collationChoice());
  std::vector<std::string> names;
  for (const ObjectRow& row : catalog->objects) {
    if (row.typeCode == "U ") names.push_back(row.name);
  }
  for (const std::string& name : names) {
    ResolveObject(*catalog, file, catalog->isSql2000, name, "U ", {});
    CurrentTable& table = catalog->current;
    if (!table.foundFlag) continue;
    TableRows& rows = result.tables[name];
    rows.pages = table.pageList;
    rows.columnCount = table.descriptors.size();
    std::set<PageAddress> seen;
    for (const PageAddress& address : table.pageList) {
      if (!seen.insert(address).second) continue;
      rows.rows += ReadPageRows(address, file, CurrentTableRows(table), testing::OptionsFor(state, *catalog)).size();
    }
  }
  return result;
}

struct Damage {
  const char* name;
  corruptor::CorruptionOptions options;
};

// Runs the whole scan of `path` as the application does; "completed" or
// "failed" (the scan ended with a failure line), never a hang or a crash.
std::string ScanToTheEnd(const std::string& path) {
  ApplicationState state;
  testing::ScanUiRecorder ui;
  RunLog log;
  ScanDriver driver(state, ui, log,
                    [&](ScanContext& context) { return CompleteScan(context, state, ui, log); });
  EXPECT_TRUE(driver.StartScan(path));
  driver.Wait();
  EXPECT_FALSE(state.processRunning.load());
  EXPECT_NE(driver.lastResult(), -1);
  return driver.lastResult() == 1 ? "completed" : "failed";
}

class RealCorruptedCopies : public testing::RealFileTest {};

TEST_P(RealCorruptedCopies, EveryCopyIsReadToTheEnd) {
  const Damage damages[] = {
      {"copy", {.seed = 1}},
      {"zero+flip+torn", {.seed = 11, .zeroPagesPercent = 5, .flipBytes = 30, .tornSectors = 10}},
      {"prefix+flip", {.seed = 17, .flipBytes = 20, .garbagePrefix = true}},
      {"cut", {.seed = 19, .truncateBytes = 60000}},
      // Bytes before page 0 and a cut tail together leave the file length
      // no hint of where page 0 starts; the probe finds it by its pages.
      {"prefix+cut", {.seed = 23, .truncateBytes = 60000, .garbagePrefix = true}},
      {"heavy", {.seed = 37, .zeroPagesPercent = 20, .flipBytes = 5000, .tornSectors = 100}},
  };

  testing::TempDir dir;
  std::ostringstream table;
  table << fmt::format("{:<20} {:<16} {:>6} {:>7} {:>7} {:>10} {:>10}\n", "file", "copy", "opened",
                       "damaged", "tables", "rows", "scan");
  size_t tables_compared = 0;
  const auto started = std::chrono::steady_clock::now();
  const std::string& source = path();
  const std::string folder = name();
  const FileRows original = ReadAllTables(source);
  ASSERT_TRUE(original.opened);
  ASSERT_FALSE(original.tables.empty());
  table << fmt::format("{:<20} {:<16} {:>6} {:>7} {:>7} {:>10} {:>10}\n", folder, "original", "yes",
                       original.damagedPages, original.tables.size(), original.totalRows(),
                       ScanToTheEnd(source));

  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.name);
    const std::string copy = dir.File(std::string(folder) + "-" + damage.name + ".mdf");
    auto made = corruptor::CorruptCopy(source, copy, damage.options);
    ASSERT_TRUE(made.ok) << made.error;
    const FileRows damaged = ReadAllTables(copy);
    table << fmt::format("{:<20} {:<16} {:>6} {:>7} {:>7} {:>10} {:>10}\n", folder, damage.name,
                         damaged.opened ? "yes" : "no", damaged.damagedPages, damaged.tables.size(),
                         damaged.totalRows(), ScanToTheEnd(copy));
    for (const auto& [name, rows] : damaged.tables) {
      table << fmt::format("    {:<36} {:>6} rows\n", name, rows.rows);
    }

    const std::set<int64_t>& touched = made.report.touchedPages;
    if (damage.options.flipBytes == 0 && damage.options.zeroPagesPercent == 0 &&
        damage.options.truncateBytes == 0 && damage.options.tornSectors == 0) {
      ASSERT_TRUE(damaged.opened);
      EXPECT_EQ(damaged.damagedPages, original.damagedPages);
      EXPECT_EQ(damaged.totalRows(), original.totalRows());
    }
    // Pages read at their own positions (page 0 found behind any prefix),
    // and the catalog read from untouched system pages: then a table
    // whose own pages were not touched reads as before.
    const int64_t true_offset = damage.options.garbagePrefix ? corruptor::kGarbagePrefixSize : 0;
    const bool catalog_intact = std::none_of(
        original.systemPages.begin(), original.systemPages.end(),
        [&](int32_t page) { return touched.contains(page); });
    if (!damaged.opened || damaged.baseOffset != true_offset || !catalog_intact) continue;
    for (const auto& [name, before] : original.tables) {
      auto it = damaged.tables.find(name);
      const bool pages_intact = std::none_of(before.pages.begin(), before.pages.end(),
                                             [&](const PageAddress& a) { return touched.contains(a.pageId); });
      if (!pages_intact) continue;
      SCOPED_TRACE(name);
      ASSERT_NE(it, damaged.tables.end());
      EXPECT_EQ(it->second.rows, before.rows);
      ++tables_compared;
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  table << fmt::format("tables compared with the original: {}; {:.1f} s\n", tables_compared, seconds);
  std::cout << table.str();
  EXPECT_GT(tables_compared, 0u);
}

// One file of each SQL Server version, small ones.
QUILL_REAL_FILE_TESTS(RealCorruptedCopies,
                      testing::RealFiles({"northwind-sql2000", "pubs-2005-from2000", "aspnetdb-2008",
                                          "bookshop-2008r2", "mvcmusicstore-2012", "identity-2014"}));

}  // namespace
}  // namespace quill
