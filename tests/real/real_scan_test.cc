// The whole scan of every real file: it completes without a failure, files
// without user objects end as the others do, and damaged pages are counted.
// Prints one line per file: objects, user tables, documents, the scan's
// damaged-page line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "pages/collation_table.h"
#include "scan/scan_completion.h"
#include "scan/scan_driver.h"
#include "support/real_data.h"
#include "support/scan_ui_recorder.h"
#include "scan/application_state.h"

namespace quill {
namespace {

class RealScan : public testing::RealFileTest {};

TEST_P(RealScan, ScansToTheEnd) {
  const std::string& path = this->path();
  for (RecoveryMode mode : {RecoveryMode::kStandard, RecoveryMode::kAdvanced}) {
    ApplicationState state;
    state.recoveryMode = mode;
    testing::ScanUiRecorder ui;
    RunLog log;
    ScanDriver driver(state, ui, log,
                      [&](ScanContext& context) { return CompleteScan(context, state, ui, log); });
    ASSERT_TRUE(driver.StartScan(path));
    driver.Wait();
    EXPECT_EQ(driver.lastResult(), 1);
    EXPECT_FALSE(state.processRunning.load());
    for (const std::string& event : ui.events) EXPECT_FALSE(event.starts_with("error: ")) << event;
    ASSERT_FALSE(ui.lines.empty());
    EXPECT_EQ(ui.lines.back(), "Scanning completed for selected mdf file.");
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes.back().text, "Scanning process completed.");

    if (mode == RecoveryMode::kStandard) {
      const ScanContext& context = driver.context();
      const auto user_tables = std::count_if(
          context.catalog->objects.begin(), context.catalog->objects.end(),
          [](const ObjectRow& o) { return o.typeCode == "U "; });
      const auto damaged = std::find_if(ui.lines.begin(), ui.lines.end(), [](const std::string& l) {
        return l.starts_with("Damaged pages: ");
      });
      std::cout << name() << ": " << context.catalog->objects.size()
                << " objects, " << user_tables << " user tables, "
                << context.sharePoint.documents.size() << " documents, "
                << (damaged == ui.lines.end() ? "no damaged pages" : *damaged) << "\n";
    }
  }
}

QUILL_REAL_FILE_TESTS(RealScan, testing::RealFiles());

}  // namespace
}  // namespace quill
