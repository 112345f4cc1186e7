// What a front end's Save and Save Records rest on: one table of an open
// scan written to a file the user named, replaced only when complete; and
// the database folders of an export, claimed new each time.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "catalog_builder.h"
#include "export/database_export.h"
#include "export/module_files_step.h"
#include "export/output_folder.h"
#include "export/table_file_export.h"
#include "export/table_source.h"
#include "scan/application_state.h"
#include "support/module_database.h"
#include "support/paged_database.h"
#include "support/temp_dir.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

size_t FilesIn(const std::string& folder) {
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator(folder)) count += entry.is_regular_file();
  return count;
}

TEST(TableFileExportTest, WritesEveryRowOfAnOpenScanAndReplacesTheTargetOnlyWhenComplete) {
  testing::TempDir dir;
  const std::string database = dir.File("paged.mdf");
  ASSERT_TRUE(fixture::BuildCatalogDatabase(testing::PagedTables({2500})).WriteTo(database));
  ApplicationState state;
  state.collationTable = LoadCollationTable(QUILLSTONE_COLLATION_TABLE);
  ScanContext context;
  NullProgressSink progress;
  ASSERT_TRUE(OpenScanContext(database, context, state.readOptions(), state.collationChoice(), state.abortRequested,
                              progress));
  TableSource source(context);

  const std::string target = dir.File("T2500.csv");
  { std::ofstream(target) << "kept"; }
  // A stop, an unknown table: the target stays as it was, nothing is left beside it.
  std::atomic<bool> stop{true};
  const TableFileExportResult stopped =
      ExportTableToFile(source, "T2500", ExportFormat::kCsv, {}, target, StopToken(&stop), progress);
  EXPECT_TRUE(stopped.stopped);
  EXPECT_FALSE(stopped.ok);
  const TableFileExportResult unknown =
      ExportTableToFile(source, "NoSuchTable", ExportFormat::kCsv, {}, target, StopToken(), progress);
  EXPECT_FALSE(unknown.ok);
  EXPECT_NE(unknown.error.find("NoSuchTable"), std::string::npos) << unknown.error;
  EXPECT_EQ(ReadText(target), "kept");
  EXPECT_EQ(FilesIn(dir.path()), 2u);  // the database and the target
  // The data file itself is never the target.
  const std::string data = ReadText(database);
  const TableFileExportResult onto_data =
      ExportTableToFile(source, "T2500", ExportFormat::kCsv, {}, dir.path() + "./paged.mdf", StopToken(), progress);
  EXPECT_FALSE(onto_data.ok);
  EXPECT_NE(onto_data.error.find("is a data file"), std::string::npos) << onto_data.error;
  EXPECT_EQ(ReadText(database), data);
  EXPECT_EQ(FilesIn(dir.path()), 2u);

  const TableFileExportResult saved =
      ExportTableToFile(source, "T2500", ExportFormat::kCsv, {}, target, StopToken(), progress);
  ASSERT_TRUE(saved.ok) << saved.error;
  EXPECT_EQ(saved.rows, 2500u);
  const std::string text = ReadText(target);
  EXPECT_EQ(text.substr(0, 22), "Id,Name\r\n1,row 1\r\n2,ro");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2501);
  EXPECT_NE(text.find("\r\n2500,row 2500\r\n"), std::string::npos);
  EXPECT_EQ(FilesIn(dir.path()), 2u);
}

TEST(OutputFolderTest, EachClaimMakesANewFolderNamedAfterTheDatabase) {
  testing::TempDir dir;
  std::string error;
  EXPECT_EQ(ClaimNewFolder(dir.path(), "Sales", error), dir.File("Sales"));
  EXPECT_EQ(ClaimNewFolder(dir.path(), "Sales", error), dir.File("Sales (2)"));
  { std::ofstream(dir.File("Sales (3)")) << "a file in the way"; }
  EXPECT_EQ(ClaimNewFolder(dir.path(), "Sales", error), dir.File("Sales (4)"));
  // A stored name never leaves the parent.
  EXPECT_EQ(ClaimNewFolder(dir.path(), "../up/here", error), dir.File(".._up_here"));
  EXPECT_EQ(ClaimNewFolder(dir.path(), "..", error), dir.File("database.."));
  EXPECT_TRUE(fs::is_directory(dir.File(".._up_here")));

  EXPECT_EQ(ClaimNewFolder(dir.File("missing/parent"), "Sales", error), "");
  EXPECT_NE(error.find("missing/parent"), std::string::npos) << error;
}

// Picked modules only, their definitions as stored and a GO, and no tables.
TEST(ModuleFilesStepTest, WritesThePickedDefinitionsBesideNoTables) {
  testing::TempDir dir;
  const std::string database = dir.File("shop.mdf");
  ASSERT_TRUE(fixture::BuildCatalogDatabase(testing::ShopWithModules(fixture::CatalogLayout::kSql2005Plus))
                  .WriteTo(database));
  ApplicationState state;
  state.collationTable = LoadCollationTable(QUILLSTONE_COLLATION_TABLE);
  DatabaseExportRequest request;
  request.path = database;
  request.noTables = true;
  const std::unique_ptr<DatabaseExportStep> step = MakeModuleFilesStep({"OrderView", "OrdersTrigger"});
  NullProgressSink progress;
  const FolderClaim claim = [&](const std::string& name, std::string& error) {
    return ClaimNewFolder(dir.path(), name, error);
  };
  const DatabaseExportResult result =
      ExportDatabase(request, state.readOptions(), state.collationChoice(), claim, StopToken(), progress, {step.get()});
  ASSERT_TRUE(result.ok()) << (result.failures.empty() ? "" : result.failures[0]);
  EXPECT_EQ(result.tables, 0u);
  ASSERT_EQ(result.files, (std::vector<std::string>{"modules/dbo.OrderView.sql", "modules/dbo.OrdersTrigger.sql"}));
  EXPECT_EQ(ReadText(result.folder + "/modules/dbo.OrderView.sql"),
            std::string(testing::kOrderViewText) + "\r\nGO\r\n");
  size_t entries = 0;
  for (const auto& entry : fs::directory_iterator(result.folder)) entries += entry.exists();
  EXPECT_EQ(entries, 1u);  // modules/ alone
}

}  // namespace
}  // namespace quill
