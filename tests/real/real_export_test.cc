// Every table of every real data file exported to SQLite: row counts equal
// those of the rows command.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <sstream>

#include "cli/info_command.h"
#include "cli/rows_command.h"
#include "export/database_export.h"
#include "scan/application_state.h"
#include "support/real_data.h"
#include "support/temp_dir.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

TEST(RealExportTest, EveryTableOfEveryFileReachesSqliteWithItsRows) {
  if (!fs::is_directory(QUILLSTONE_REAL_DATA_DIR)) GTEST_SKIP() << "no folder " << QUILLSTONE_REAL_DATA_DIR;
  const std::vector<std::string> files = testing::RealDataFiles(QUILLSTONE_REAL_DATA_DIR);
  if (files.empty()) GTEST_SKIP() << "no real data files under " << QUILLSTONE_REAL_DATA_DIR;
  const CollationTable collation = LoadCollationTable(QUILLSTONE_COLLATION_TABLE);
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    testing::TempDir dir;
    ApplicationState state;
    state.collationTable = collation;
    DatabaseExportRequest request;
    request.path = path;
    request.format = ExportFormat::kSqlite;
    NullProgressSink progress;
    auto claim = [&](const std::string&, std::string&) { return dir.path() + "db"; };
    fs::create_directories(dir.path() + "db");
    std::vector<SourceTable> tables;
    {
      TableSource source(state.readOptions(), state.collationChoice());
      if (!source.Open(path, progress)) continue;  // files the catalog reader cannot open are covered elsewhere
      tables = source.Tables();
    }
    const DatabaseExportResult result = ExportDatabase(request, state.readOptions(), state.collationChoice(), claim, {}, progress);
    ASSERT_TRUE(result.opened);
    ASSERT_EQ(result.files.size(), 1u);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2((result.folder + "/" + result.files[0]).c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    for (const SourceTable& source_table : tables) {
      const std::string& table = source_table.name;
      ApplicationState rows_state;
      rows_state.collationTable = collation;
      std::ostringstream out;
      if (RunRowsCommand({path, table, RowsFormat::kTsv, std::nullopt}, rows_state, progress, out) != kExitOk) {
        continue;  // not a readable table: the export reports it as a failure
      }
      size_t lines = 0;
      for (char c : out.str()) lines += c == '\n';
      sqlite3_stmt* statement = nullptr;
      const std::string sqlite_name = source_table.schema == "dbo" ? table : source_table.schema + "." + table;
      const std::string sql = "SELECT count(*) FROM \"" + sqlite_name + "\"";
      ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << table;
      ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
      EXPECT_EQ(static_cast<size_t>(sqlite3_column_int64(statement, 0)), lines - 1) << table;
      sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    EXPECT_TRUE(result.failures.empty()) << result.failures.front();
  }
}

}  // namespace
}  // namespace quill
