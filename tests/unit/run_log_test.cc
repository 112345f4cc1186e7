// The run log: file names, the UTF-16LE file form, appending runs, and
// output lines that still reach the pane when no log can be written.
#include "scan/run_log.h"

#include <gtest/gtest.h>

#include "common/text_encoding.h"
#include "support/scan_ui_recorder.h"
#include "support/temp_dir.h"

namespace quill {
namespace {

std::string AsText(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }
std::string Utf16(const std::string& utf8) { return AsText(Utf8ToUtf16Le(utf8)); }

TEST(RunLog, FileNameHasTheStartTimeWithoutLeadingZeros) {
  std::tm t{};
  t.tm_mday = 3, t.tm_mon = 1, t.tm_year = 124, t.tm_hour = 9, t.tm_min = 5, t.tm_sec = 7;
  EXPECT_EQ(RunLogFileName("/logs", kScanLogPrefix, t),
            "/logs/VelmoraSharepointDatabaseRec_log_3-2-2024-9-5-7.txt");
  EXPECT_EQ(RunLogFileName("/logs/", kSnapshotLogPrefix, std::nullopt),
            "/logs/VelmoraSQLDatabaseRec_log_0-0-0--1--1--1.txt");
}

TEST(RunLog, NewFileStartsWithTheMarkAndEveryRunAppendsAfterASeparator) {
  testing::TempDir dir;
  const std::string path = dir.File("run.txt");
  const std::string separator = "\r\n" + std::string(80, '*') + "\r\n";
  {
    RunLog log;
    ASSERT_TRUE(log.Open(path));
    log.AppendLine("Grüße");
  }
  {
    RunLog log;
    ASSERT_TRUE(log.Open(path));
    log.AppendLine("second run");
  }
  const std::string expected = std::string("\xFF\xFE") + Utf16(separator + "Grüße\r\n") +
                               Utf16(separator + "second run\r\n");
  EXPECT_EQ(AsText(testing::ReadBytes(path)), expected);
}

TEST(RunLog, OutputLinesAreNumberedAndReachThePaneWithoutALog) {
  testing::TempDir dir;
  testing::ScanUiRecorder ui;
  RunLog log;
  // A folder that does not exist: the log cannot be created.
  const std::string path = OpenRunLog(log, kScanLogPrefix, dir.File("missing/folder"));
  EXPECT_FALSE(log.isOpen());
  EXPECT_TRUE(path.starts_with(dir.File("missing/folder/") + kScanLogPrefix));
  AddOutputLine(ui, log, "one");
  AddOutputLine(ui, log, "two");
  EXPECT_EQ(ui.lines, (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(ui.lineNumbers, (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(log.outputLineCount(), 2);

  // With a folder that exists the same lines land in the file.
  RunLog written;
  const std::string log_path = OpenRunLog(written, kSnapshotLogPrefix, dir.path());
  ASSERT_TRUE(written.isOpen());
  AddOutputLine(ui, written, "three");
  written.Close();
  EXPECT_TRUE(AsText(testing::ReadBytes(log_path)).ends_with(Utf16("three\r\n")));
}

}  // namespace
}  // namespace quill
