// Exports of the demo database: every format written and read back, write
// failures, a stop in the middle and a damaged page.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "catalog/current_table_pages.h"
#include "catalog/load_catalog.h"
#include "catalog/resolve_object.h"
#include "cli/export_command.h"
#include "cli/info_command.h"
#include "cli/rows_command.h"
#include "catalog_builder.h"
#include "export/database_export.h"
#include "export/document_export_step.h"
#include "export/manifest_writer.h"
#include "export/table_source.h"
#include "pages/database_file.h"
#include "scan/application_state.h"
#include "support/temp_dir.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
const std::string kDemo = QUILLSTONE_DEMO_DATABASE;

CollationTable Collation() { return LoadCollationTable(QUILLSTONE_COLLATION_TABLE); }

// The rows `quillstone rows` writes for a table, as TSV lines (header first).
std::vector<std::string> RowsLines(const std::string& path, const std::string& table) {
  ApplicationState state;
  state.collationTable = Collation();
  NullProgressSink progress;
  std::ostringstream out;
  EXPECT_EQ(RunRowsCommand({path, table, RowsFormat::kTsv, std::nullopt}, state, progress, out), kExitOk) << table;
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> UserTables(const std::string& path) {
  ApplicationState state;
  state.collationTable = Collation();
  TableSource source(state.readOptions(), state.collationChoice());
  NullProgressSink progress;
  EXPECT_TRUE(source.Open(path, progress));
  std::vector<std::string> names;
  for (const SourceTable& table : source.Tables()) names.push_back(table.name);
  return names;
}

DatabaseExportResult Export(const std::string& path, const std::string& out, ExportFormat format,
                            const std::atomic<bool>* stop = nullptr,
                            std::function<std::unique_ptr<TableExporter>(std::unique_ptr<TableExporter>)> decorate = {}) {
  ApplicationState state;
  state.collationTable = Collation();
  DatabaseExportRequest request;
  request.path = path;
  request.format = format;
  request.decorate = std::move(decorate);
  NullProgressSink progress;
  auto claim = [&](const std::string& name, std::string&) {
    fs::create_directories(out + name);
    return out + name;
  };
  return ExportDatabase(request, state.readOptions(), state.collationChoice(), claim, StopToken(stop), progress);
}

struct Sqlite {
  explicit Sqlite(const std::string& path) { EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK); }
  ~Sqlite() { sqlite3_close(db); }
  // The first column of the first row as text ("NULL" for NULL; BLOBs as hex).
  std::string Value(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) return "error: " + std::string(sqlite3_errmsg(db));
    std::string text = "no row";
    if (sqlite3_step(statement) == SQLITE_ROW) {
      const auto* p = sqlite3_column_text(statement, 0);
      text = p ? reinterpret_cast<const char*>(p) : "NULL";
    }
    sqlite3_finalize(statement);
    return text;
  }
  sqlite3* db = nullptr;
};

TEST(ExportTest, SqliteHoldsEveryTableWithTheRowsOfTheRowsCommand) {
  testing::TempDir dir;
  const DatabaseExportResult result = Export(kDemo, dir.path(), ExportFormat::kSqlite);
  ASSERT_TRUE(result.ok()) << (result.failures.empty() ? "" : result.failures[0]);
  ASSERT_EQ(result.files.size(), 1u);
  Sqlite db(result.folder + "/" + result.files[0]);
  const std::vector<std::string> tables = UserTables(kDemo);
  ASSERT_GE(tables.size(), 9u);
  uint64_t total = 0;
  for (const std::string& table : tables) {
    const size_t rows = RowsLines(kDemo, table).size() - 1;
    EXPECT_EQ(db.Value("SELECT count(*) FROM \"" + table + "\""), std::to_string(rows)) << table;
    total += rows;
  }
  EXPECT_EQ(result.rows, total);
  EXPECT_EQ(result.tables, tables.size());
  // Chosen cells, typed: integers, exact money, ISO datetimes, text, bytes.
  const std::string first = "FROM DemoTypes ORDER BY rowid LIMIT 1";
  EXPECT_EQ(db.Value("SELECT Big " + first), "9000000001");
  EXPECT_EQ(db.Value("SELECT typeof(Big) " + first), "integer");
  EXPECT_EQ(db.Value("SELECT Price " + first), "1234.5679");
  EXPECT_EQ(db.Value("SELECT Created " + first), "2021-03-04T05:06:07.000");
  EXPECT_EQ(db.Value("SELECT Name " + first), "\xC3\x84rger & Co");
  EXPECT_EQ(db.Value("SELECT hex(Node) " + first), "58");
  EXPECT_EQ(db.Value("SELECT typeof(Node) " + first), "blob");
  EXPECT_EQ(db.Value("SELECT Name FROM DemoTypes ORDER BY rowid LIMIT 1 OFFSET 3"), "NULL");
  EXPECT_EQ(db.Value("SELECT count(*) FROM recovery_report"), "0");
}

TEST(ExportTest, TextFormatsWriteOneFilePerTable) {
  for (ExportFormat format : {ExportFormat::kCsv, ExportFormat::kTsv, ExportFormat::kJsonLines}) {
    testing::TempDir dir;
    const DatabaseExportResult result = Export(kDemo, dir.path(), format);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.files.size(), UserTables(kDemo).size());
    const char* extension = format == ExportFormat::kCsv ? ".csv" : format == ExportFormat::kTsv ? ".tsv" : ".jsonl";
    std::ifstream in(result.folder + "/dbo.DemoOrders" + extension, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t lines = 0;
    for (char c : text) lines += c == '\n';
    EXPECT_EQ(lines, format == ExportFormat::kJsonLines ? 12u : 13u) << extension;
  }
}

TEST(ExportTest, SqlScriptCreatesTablesKeysAndInserts) {
  testing::TempDir dir;
  const DatabaseExportResult result = Export(kDemo, dir.path(), ExportFormat::kSql);
  ASSERT_TRUE(result.ok());
  ASSERT_EQ(result.files.size(), 1u);
  std::ifstream in(result.folder + "/" + result.files[0], std::ios::binary);
  const std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(script.find("CREATE TABLE [dbo].[DemoTypes] ("), std::string::npos);
  EXPECT_NE(script.find("CONSTRAINT [PK_DemoTypes] PRIMARY KEY"), std::string::npos);
  EXPECT_NE(script.find("INSERT INTO [dbo].[DemoOrders] ("), std::string::npos);
  EXPECT_NE(script.find("N'\xC3\x84rger & Co'"), std::string::npos);
  EXPECT_NE(script.find("CONVERT(datetime, '2021-03-04T05:06:07.000', 126)"), std::string::npos);
  // Foreign keys come after every table.
  const size_t key = script.find("FOREIGN KEY");
  ASSERT_NE(key, std::string::npos);
  EXPECT_EQ(script.find("CREATE TABLE", key), std::string::npos);
  EXPECT_EQ(script.find("INSERT INTO", key), std::string::npos);
  EXPECT_NE(script.find("REFERENCES [dbo].[DemoTypes]", key), std::string::npos);
}

// Fails the rows of one table after a few, as a full disk would.
class FailingExporter final : public TableExporter {
 public:
  FailingExporter(std::unique_ptr<TableExporter> inner, std::string table, std::atomic<bool>* stop = nullptr)
      : inner_(std::move(inner)), failTable_(std::move(table)), stop_(stop) {}
  bool BeginTable(const ExportTableShape& table) override {
    current_ = table.name;
    rows_ = 0;
    return inner_->BeginTable(table);
  }
  bool WriteRow(std::span<const TypedValue> cells) override {
    if (current_ == failTable_ && ++rows_ > 2) {
      if (stop_ != nullptr) {
        stop_->store(true);  // a stop arrives in the middle of the table
      } else {
        error_ = "no space left on device";
        return false;
      }
    }
    return inner_->WriteRow(cells);
  }
  bool EndTable() override { return inner_->EndTable(); }
  void DropTable() override {
    ++dropped;
    inner_->DropTable();
  }
  bool Finish(const ExportDatabaseShape& database) override { return inner_->Finish(database); }
  const std::string& error() const override { return error_.empty() ? inner_->error() : error_; }
  std::vector<std::string> files() const override { return inner_->files(); }
  static inline int dropped = 0;

 private:
  std::unique_ptr<TableExporter> inner_;
  std::string failTable_;
  std::atomic<bool>* stop_;
  std::string current_;
  int rows_ = 0;
  std::string error_;
};

TEST(ExportTest, AWriteErrorRemovesThatTableAndTheRunGoesOn) {
  for (ExportFormat format : {ExportFormat::kCsv, ExportFormat::kSqlite}) {
    testing::TempDir dir;
    FailingExporter::dropped = 0;
    const DatabaseExportResult result = Export(kDemo, dir.path(), format, nullptr, [](auto inner) {
      return std::make_unique<FailingExporter>(std::move(inner), "DemoOrders");
    });
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_NE(result.failures[0].find("dbo.DemoOrders: no space left on device"), std::string::npos);
    EXPECT_EQ(FailingExporter::dropped, 1);
    EXPECT_EQ(result.tables, UserTables(kDemo).size() - 1);
    if (format == ExportFormat::kCsv) {
      EXPECT_FALSE(fs::exists(result.folder + "/dbo.DemoOrders.csv"));
      EXPECT_TRUE(fs::exists(result.folder + "/dbo.DemoTypes.csv"));
      EXPECT_EQ(result.files.size(), result.tables);
    } else {
      Sqlite db(result.folder + "/" + result.files.at(0));
      EXPECT_EQ(db.Value("SELECT count(*) FROM sqlite_master WHERE name = 'DemoOrders'"), "0");
      EXPECT_EQ(db.Value("SELECT count(*) FROM DemoTypes"), "4");
    }
  }
}

TEST(ExportTest, AStopKeepsCompletedFilesAndRemovesTheOneInProgress) {
  testing::TempDir dir;
  std::atomic<bool> stop{false};
  const DatabaseExportResult result = Export(kDemo, dir.path(), ExportFormat::kCsv, &stop, [&](auto inner) {
    return std::make_unique<FailingExporter>(std::move(inner), "DemoOrders", &stop);
  });
  EXPECT_TRUE(result.stopped);
  EXPECT_FALSE(result.ok());
  EXPECT_FALSE(fs::exists(result.folder + "/dbo.DemoOrders.csv"));
  ASSERT_FALSE(result.files.empty());
  for (const std::string& file : result.files) {
    EXPECT_TRUE(fs::exists(result.folder + "/" + file)) << file;
    EXPECT_NE(file, "dbo.DemoOrders.csv");
  }
  // Nothing beyond the listed files is left in the folder.
  size_t present = 0;
  for (const auto& entry : fs::directory_iterator(result.folder)) present += entry.is_regular_file();
  EXPECT_EQ(present, result.files.size());
}

TEST(ExportTest, ADamagedPageMidwayKeepsTheRowsAroundItAndIsReported) {
  // The table with the most pages; its middle page loses its page type.
  ApplicationState state;
  state.collationTable = Collation();
  const ReadOptions options = state.readOptions();
  CDatabaseFile file;
  ASSERT_TRUE(file.Open(kDemo, nullptr));
  auto catalog = LoadCatalog(file, options, state.collationChoice());
  std::string table_name;
  std::vector<PageAddress> pages;
  for (const std::string& name : UserTables(kDemo)) {
    ResolveObject(*catalog, file, false, name, "U ", {});
    const TablePageList list = CurrentTablePages(*catalog, file, options);
    if (list.pages.size() > pages.size()) {
      pages = list.pages;
      table_name = name;
    }
  }
  ASSERT_GE(pages.size(), 3u) << "the demo database needs a table of three pages or more";
  const PageAddress middle = pages[pages.size() / 2];
  const std::vector<std::string> before = RowsLines(kDemo, table_name);

  testing::TempDir dir;
  const std::string copy = dir.File("damaged.mdf");
  fs::copy_file(kDemo, copy);
  {
    std::fstream f(copy, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(middle.pageId) * 8192 + 1);
    f.put(static_cast<char>(0x63));  // not a page type
  }
  const std::vector<std::string> after = RowsLines(copy, table_name);
  ASSERT_LT(after.size(), before.size());
  fs::create_directories(dir.File("out"));
  const DatabaseExportResult result = Export(copy, dir.File("out/"), ExportFormat::kSqlite);
  ASSERT_TRUE(result.ok());
  Sqlite db(result.folder + "/" + result.files.at(0));
  EXPECT_EQ(db.Value("SELECT count(*) FROM \"" + table_name + "\""), std::to_string(after.size() - 1));
  EXPECT_EQ(db.Value("SELECT page FROM recovery_report WHERE object = '" + table_name + "'"),
            std::to_string(middle.fileId) + ":" + std::to_string(middle.pageId));
  EXPECT_GE(result.damagedPages, 1);
}

// A large value whose text page is lost: the row is kept with what could
// be read, and the report names the value and the node.
TEST(ExportTest, ALargeValueReadInPartIsReportedWithItsNode) {
  testing::TempDir dir;
  const std::string copy = dir.File("damaged.mdf");
  fs::copy_file(kDemo, copy);
  const std::vector<uint8_t> bytes = testing::ReadBytes(copy);
  int64_t text_page = -1;
  for (size_t page = 16; (page + 1) * 8192 <= bytes.size() && text_page < 0; ++page) {
    if (bytes[page * 8192 + 1] == 3) text_page = static_cast<int64_t>(page);  // a text page
  }
  ASSERT_GT(text_page, 0) << "the demo database holds large values in text pages";
  {
    std::fstream f(copy, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(text_page * 8192 + 22);
    f.put(0).put(0);  // slot count 0: none of the page's nodes can be found
  }
  fs::create_directories(dir.File("out"));
  const DatabaseExportResult result = Export(copy, dir.File("out/"), ExportFormat::kSqlite);
  ASSERT_TRUE(result.ok());
  Sqlite db(result.folder + "/" + result.files.at(0));
  const std::string where = "WHERE what LIKE 'value of %'";
  EXPECT_NE(db.Value("SELECT count(*) FROM recovery_report " + where), "0");
  EXPECT_NE(db.Value("SELECT why FROM recovery_report " + where).find("page 1:" + std::to_string(text_page)),
            std::string::npos)
      << db.Value("SELECT why FROM recovery_report " + where);
  EXPECT_EQ(result.damagedPages, 0);  // no page was skipped
}

TEST(ExportCommandTest, RefusesANonEmptyFolderAndTheInputFolder) {
  testing::TempDir dir;
  std::ostringstream out, err;
  fs::copy_file(kDemo, dir.File("demo.mdf"));
  ExportRequest request;
  request.paths = {dir.File("demo.mdf")};
  request.outDir = dir.path();
  EXPECT_EQ(RunExportCommand(request, Collation(), out, err), kExitUsage);
  EXPECT_NE(err.str().find("beside a data file"), std::string::npos);
  request.outDir = dir.File("out");
  fs::create_directories(request.outDir);
  std::ofstream(dir.File("out/keep.txt")) << "x";
  EXPECT_EQ(RunExportCommand(request, Collation(), out, err), kExitUsage);
  EXPECT_NE(err.str().find("not empty"), std::string::npos);
  request.force = true;
  request.jobs = 2;
  request.paths = {dir.File("demo.mdf"), kDemo};  // the same database twice: two folders
  request.format = ExportFormat::kSqlite;
  out.str("");
  ASSERT_EQ(RunExportCommand(request, Collation(), out, err), kExitOk) << err.str();
  EXPECT_TRUE(fs::exists(dir.File("out/keep.txt")));
  int folders = 0;
  for (const auto& entry : fs::directory_iterator(dir.File("out"))) folders += entry.is_directory();
  EXPECT_EQ(folders, 2);
  EXPECT_NE(out.str().find("Damaged"), std::string::npos);
  // An output folder that cannot be made is an error that says so.
  request.outDir = dir.File("out/keep.txt/sub");
  EXPECT_EQ(RunExportCommand(request, Collation(), out, err), kExitCannotScan);
  EXPECT_NE(err.str().find("cannot create the output folder"), std::string::npos);
}

// With the documents step the tables are followed by the documents of a
// content database under documents/, each written file listed in the
// manifest with its size; a database without AllDocs gets no documents
// folder at all.
TEST(ExportCommandTest, DocumentsOfAContentDatabaseFollowTheTables) {
  testing::TempDir dir;
  fixture::DatabaseDescription plain;
  plain.tables.push_back(fixture::TableDescription{.name = "Plain", .columns = {fixture::Column("id", "int")}});
  ASSERT_TRUE(fixture::BuildCatalogDatabase(plain).WriteTo(dir.File("plain.mdf")));
  std::ostringstream out, err;
  ExportRequest request;
  request.paths = {kDemo, dir.File("plain.mdf")};
  request.outDir = dir.File("out");
  request.format = ExportFormat::kSqlite;
  request.makeSteps = [](unsigned) {
    std::vector<std::unique_ptr<DatabaseExportStep>> steps;
    steps.push_back(MakeDocumentExportStep({}));
    return steps;
  };
  ASSERT_EQ(RunExportCommand(request, Collation(), out, err), kExitOk) << err.str();

  const fs::path documents = fs::path(dir.File("out")) / "WSS_Content_Demo" / kDocumentsFolder;
  std::ifstream manifest(documents / kManifestFileName);
  ASSERT_TRUE(manifest) << out.str();
  std::string line;
  std::getline(manifest, line);  // header
  EXPECT_EQ(line.rfind("path,size,sha256", 0), 0u) << line;
  int written = 0;
  while (std::getline(manifest, line)) {
    if (line.find(",written,") == std::string::npos || line.front() == '"') continue;
    const std::string path = line.substr(0, line.find(','));
    const std::string rest = line.substr(line.find(',') + 1);
    const uintmax_t size = std::stoull(rest.substr(0, rest.find(',')));
    ASSERT_TRUE(fs::is_regular_file(documents / path)) << path;
    EXPECT_EQ(fs::file_size(documents / path), size) << path;
    ++written;
  }
  EXPECT_GT(written, 20);
  bool plain_has_documents = false;
  for (const auto& entry : fs::directory_iterator(dir.File("out"))) {
    if (entry.path().filename() != "WSS_Content_Demo") plain_has_documents |= fs::exists(entry.path() / kDocumentsFolder);
  }
  EXPECT_FALSE(plain_has_documents);
}

}  // namespace
}  // namespace quill
