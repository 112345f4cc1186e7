// The scan driver on fixture databases: the order of its lines and
// messages, the failures that end a scan, the running rule and stopping.
#include "scan/scan_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "catalog_builder.h"
#include "catalog/load_catalog.h"
#include "pages/database_file.h"
#include "scan/scan_completion.h"
#include "support/scan_ui_recorder.h"
#include "support/temp_dir.h"
#include "scan/application_state.h"

namespace quill {
namespace {

using namespace fixture;

class ScanDriverTest : public ::testing::Test {
 protected:
  // Every scan of these tests logs into the test's own temporary folder.
  ScanDriverTest() { state_.logFolder = log_dir_.path(); }
  std::string WriteShop(const std::string& name, DatabaseDescription description = ShopDatabase()) {
    const std::string path = dir_.File(name);
    EXPECT_TRUE(BuildCatalogDatabase(description).WriteTo(path));
    return path;
  }
  static DatabaseDescription ShopDatabase() {
    DatabaseDescription description;
    description.boot.versionNumber = 706;
    TableDescription customers;
    customers.name = "Customers";
    customers.objectId = 1001;
    customers.columns = {Column("Id", "int")};
    description.tables = {customers};
    return description;
  }
  // Runs one scan to its end.
  int Scan(const std::string& path) {
    ScanDriver driver(state_, ui_, log_, {});
    EXPECT_TRUE(driver.StartScan(path));
    driver.Wait();
    EXPECT_FALSE(state_.processRunning.load());
    results_ = driver.context().results;
    return driver.lastResult();
  }
  bool HasEvent(const std::string& event) const {
    return std::find(ui_.events.begin(), ui_.events.end(), event) != ui_.events.end();
  }

  testing::TempDir dir_;
  testing::TempDir log_dir_;
  ApplicationState state_;
  ScanResults results_;  // of the last Scan
  testing::ScanUiRecorder ui_;
  RunLog log_;
};

TEST_F(ScanDriverTest, NormalScanWritesItsLinesInOrder) {
  const std::string path = WriteShop("shop.mdf");
  EXPECT_EQ(Scan(path), 1);
  const std::vector<std::string> expected_lines = {
      path + " File is selected for recovery....",
      "Browse File Path:\t" + path,
      "Standard mode is selected for file recovery.",
      "Scanning of file starts...",
      "Database version: " + results_.versionName,
  };
  EXPECT_EQ(ui_.lines, expected_lines);
  EXPECT_FALSE(results_.versionName.empty());
  // The page layer's statuses come between the start line and the version.
  const auto start = std::find(ui_.events.begin(), ui_.events.end(), "line: Scanning of file starts...");
  const auto mapping = std::find(ui_.events.begin(), ui_.events.end(),
                                 "status: Mapping Database Objects...........");
  const auto version = std::find(ui_.events.begin(), ui_.events.end(), "line: " + expected_lines.back());
  EXPECT_LT(start, mapping);
  EXPECT_LT(mapping, version);
  EXPECT_TRUE(log_.isOpen());
  EXPECT_EQ(ui_.arrangedFor, RecoveryOption::kCompletedDatabase);
  // The log is the one file in the log folder.
  EXPECT_TRUE(state_.logFilePath.starts_with(log_dir_.path() + kScanLogPrefix)) << state_.logFilePath;
  EXPECT_TRUE(std::filesystem::is_regular_file(state_.logFilePath));
}

TEST_F(ScanDriverTest, WithoutALogFolderNothingIsWrittenInTheCurrentFolder) {
  // An empty folder means no log, not the current folder.
  state_.logFolder.clear();
  const std::string path = WriteShop("shop.mdf");
  testing::TempDir cwd;
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(cwd.path());
  EXPECT_EQ(Scan(path), 1);
  std::filesystem::current_path(previous);
  EXPECT_FALSE(log_.isOpen());
  EXPECT_TRUE(state_.logFilePath.empty());
  EXPECT_TRUE(std::filesystem::is_empty(cwd.path()));
}

TEST_F(ScanDriverTest, DamagedPagesAreCountedInOneLine) {
  CatalogDatabaseLayout layout;
  std::vector<uint8_t> bytes = BuildCatalogDatabase(ShopDatabase(), &layout).Bytes();
  // Two pages claim a checksum (flag bit 0x0200 at offset 4) that does not
  // hold; they are still read.
  for (int32_t page : {layout.tables[0].iamPage, 3}) {
    bytes[static_cast<size_t>(page) * 8192 + 5] |= 0x02;
  }
  const std::string path = dir_.File("damaged.mdf");
  ASSERT_TRUE(testing::WriteBytes(path, bytes));
  EXPECT_EQ(Scan(path), 1);
  EXPECT_EQ(ui_.lines.back(), "Damaged pages: 2");
}

TEST_F(ScanDriverTest, FailuresEndTheScanWithTheirTexts) {
  // A missing file: the open error, then the abort line and its box.
  EXPECT_EQ(Scan(dir_.File("missing.mdf")), 0);
  EXPECT_TRUE(HasEvent("error: File cannot be open..........."));
  EXPECT_EQ(ui_.lines.back(), "Scanning process aborted.");
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "Scanning process aborted.");

  // A file set that opens with no catalog object: a line, no box.
  DatabaseDescription empty;
  empty.boot.versionNumber = 706;
  ui_.boxes.clear();
  EXPECT_EQ(Scan(WriteShop("empty.mdf", empty)), 0);
  EXPECT_EQ(ui_.lines.back(),
            "Either it is not valid mdf file or highly corrupted, select another file to recover.");
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ScanDriverTest, PathsShowDoubledBackslashesButOpenAsChosen) {
  const std::string path = WriteShop("a\\b.mdf");
  EXPECT_EQ(Scan(path), 1);
  std::string shown = dir_.path() + "a\\\\b.mdf";
  EXPECT_EQ(ui_.lines[1], "Browse File Path:\t" + shown);
}

TEST_F(ScanDriverTest, ARunningProcessRefusesANewScan) {
  ScanDriver driver(state_, ui_, log_, {});
  state_.processRunning = true;
  EXPECT_FALSE(driver.StartScan(WriteShop("shop.mdf")));
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "Please wait for the running process.");
  EXPECT_TRUE(ui_.lines.empty());
}

TEST_F(ScanDriverTest, StopDuringMappingEndsTheScanAndANewScanRuns) {
  const std::string path = WriteShop("shop.mdf");
  ScanDriver driver(state_, ui_, log_, {});
  ui_.onStatus = [&](const std::string& text) {
    if (text == "Mapping Database Objects...........") driver.StopScan();
  };
  ASSERT_TRUE(driver.StartScan(path));
  driver.Wait();
  EXPECT_FALSE(state_.processRunning.load());
  EXPECT_NE(driver.lastResult(), -1);
  // The flag is cleared when the file set is open; the next scan runs whole.
  EXPECT_FALSE(state_.abortRequested.stopRequested());
  ui_.onStatus = nullptr;
  ASSERT_TRUE(driver.StartScan(path));
  driver.Wait();
  EXPECT_EQ(driver.lastResult(), 1);
}

// The window thread stops the worker after its n-th output line, for every
// n up to the lines of a whole scan, reading the line count while the
// worker writes; each stopped scan ends, and a second scan then runs whole.
// (The ThreadSanitizer build runs this test.)
TEST_F(ScanDriverTest, StopFromTheWindowAtEachStageThenASecondScan) {
  const std::string path = WriteShop("shop.mdf");
  ScanDriver driver(state_, ui_, log_, [&](ScanContext& context) {
    return CompleteScan(context, state_, ui_, log_);
  });
  ASSERT_TRUE(driver.StartScan(path));
  driver.Wait();
  ASSERT_EQ(driver.lastResult(), 1);
  const int32_t whole = log_.outputLineCount();
  for (int32_t stop_after = 1; stop_after <= whole; ++stop_after) {
    SCOPED_TRACE(stop_after);
    const int32_t first_line = log_.outputLineCount();
    ASSERT_TRUE(driver.StartScan(path));
    while (state_.processRunning.load() && log_.outputLineCount() - first_line < stop_after) {
      std::this_thread::yield();
    }
    driver.StopScan();
    driver.Wait();
    EXPECT_NE(driver.lastResult(), -1);
    EXPECT_FALSE(state_.processRunning.load());

    ASSERT_TRUE(driver.StartScan(path));
    driver.Wait();
    EXPECT_EQ(driver.lastResult(), 1);
  }
}

TEST_F(ScanDriverTest, StopDuringTheCatalogLoadOrTheCompletionKeepsWhatWasRead) {
  const std::string path = WriteShop("shop.mdf");
  // The catalog load stops between its steps: no hang, what was read stays.
  {
    CDatabaseFile file;
    ASSERT_TRUE(file.Open(path, nullptr));
    state_.abortRequested.RequestStop();
    const auto catalog = LoadCatalog(file, state_.readOptions(), state_.collationChoice());
    ASSERT_NE(catalog, nullptr);
    state_.abortRequested.Clear();
    const auto whole = LoadCatalog(file, state_.readOptions(), state_.collationChoice());
    EXPECT_LT(catalog->objects.size(), whole->objects.size());
  }
  // A stop while the SharePoint readers and the tree run: the completion
  // still runs to its end and reports the scan complete.
  ScanDriver driver(state_, ui_, log_, [&](ScanContext& context) {
    state_.abortRequested.RequestStop();
    return CompleteScan(context, state_, ui_, log_);
  });
  ASSERT_TRUE(driver.StartScan(path));
  driver.Wait();
  EXPECT_EQ(driver.lastResult(), 1);
  EXPECT_FALSE(state_.processRunning.load());
  EXPECT_EQ(ui_.lines.back(), "Scanning completed for selected mdf file.");
}

TEST_F(ScanDriverTest, CompletionRunsAfterTheVersionLineWithTheContext) {
  const std::string path = WriteShop("shop.mdf");
  size_t objects_seen = 0;
  ScanDriver driver(state_, ui_, log_, [&](ScanContext& context) {
    objects_seen = context.catalog->objects.size();
    state_.processRunning = false;
    return 1;
  });
  state_.recoveryMode = RecoveryMode::kAdvanced;
  ASSERT_TRUE(driver.StartScan(path));
  driver.Wait();
  EXPECT_EQ(driver.lastResult(), 1);
  EXPECT_GT(objects_seen, 0u);
  EXPECT_TRUE(driver.context().advancedMode);
  EXPECT_EQ(ui_.lines[2], "Advanced mode is selected for file recovery.");
}

}  // namespace
}  // namespace quill
