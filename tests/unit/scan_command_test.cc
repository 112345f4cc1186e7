// The scan and snapshot commands on the demo database: the whole scan as
// text, and a scan from a saved snapshot that shows the same.
#include "cli/scan_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/info_command.h"
#include "pages/collation_table.h"
#include "support/temp_dir.h"
#include "scan/application_state.h"

namespace quill {
namespace {

const std::string kDemo = QUILLSTONE_DEMO_DATABASE;

struct ScanOutput {
  int exitCode = -1;
  std::string text;
};

ScanOutput RunScan(const ScanRequest& request) {
  ApplicationState state;
  state.collationTable = LoadCollationTable(DefaultCollationTablePath());
  NullProgressSink progress;
  std::ostringstream out;
  ScanOutput result;
  result.exitCode = RunScanCommand(request, state, progress, out);
  result.text = out.str();
  return result;
}

// The text after the numbered output lines: the trees.
std::string Trees(const std::string& text) {
  const size_t at = text.find("\nObject tree:\n");
  return at == std::string::npos ? std::string() : text.substr(at);
}

TEST(ScanCommand, DemoDatabaseScansToItsTrees) {
  ScanRequest request;
  request.path = kDemo;
  const ScanOutput scan = RunScan(request);
  ASSERT_EQ(scan.exitCode, kExitOk) << scan.text;
  for (const char* expected :
       {"   4  Database version:  SQL Server 2008 R2\n", "  Collation Type: Latin1_General_CI_AS_KS_WS\n",
        "  Scanning completed for selected mdf file.\n", "\nObject tree:\nWSS_Content_Demo\n  Views\n    vDocumentsBySize\n",
        "    Store Procedure\n      usp_OrdersOfType\n", "      AllDocs *\n        Columns\n",
        "\nDocument tree:\nSharePointACTUAL\n", "\nSharePointData\n"}) {
    EXPECT_NE(scan.text.find(expected), std::string::npos) << expected;
  }
}

TEST(ScanCommand, ASnapshotLoadShowsWhatTheFullScanShowed) {
  testing::TempDir dir;
  ScanRequest request;
  request.path = kDemo;
  request.logFolder = dir.path();
  {
    ApplicationState state;
    NullProgressSink progress;
    std::ostringstream out;
    ASSERT_EQ(RunSnapshotCommand(request, dir.File("demo"), state, progress, out), kExitOk);
    EXPECT_NE(out.str().find("Snapshot Saved successfully in path " + dir.File("demo.VLMSNP")),
              std::string::npos);
  }
  const ScanOutput full = RunScan(request);
  ScanRequest from_snapshot;
  from_snapshot.snapshot = dir.File("demo.VLMSNP");
  from_snapshot.logFolder = dir.path();
  const ScanOutput loaded = RunScan(from_snapshot);
  ASSERT_EQ(loaded.exitCode, kExitOk) << loaded.text;
  EXPECT_FALSE(Trees(full.text).empty());
  EXPECT_EQ(Trees(loaded.text), Trees(full.text));

  // A damaged snapshot loads nothing and fails.
  ASSERT_TRUE(testing::WriteBytes(dir.File("bad.VLMSNP"), {4, 0, 0, 0, 'a'}));
  from_snapshot.snapshot = dir.File("bad.VLMSNP");
  EXPECT_EQ(RunScan(from_snapshot).exitCode, kExitCannotScan);
}

TEST(ScanCommand, MissingFileAndUnknownCollationFail) {
  testing::TempDir dir;
  ScanRequest request;
  request.path = dir.File("missing.mdf");
  const ScanOutput missing = RunScan(request);
  EXPECT_EQ(missing.exitCode, kExitCannotScan);
  EXPECT_NE(missing.text.find("Scanning process aborted."), std::string::npos);
  EXPECT_EQ(Trees(missing.text), "");

  request.path = kDemo;
  request.collation = "No_Such_Collation";
  EXPECT_EQ(RunScan(request).exitCode, kExitCannotScan);
  request.collation = "Latin1_General_CI_AS";
  EXPECT_EQ(RunScan(request).exitCode, kExitOk);
}

}  // namespace
}  // namespace quill
