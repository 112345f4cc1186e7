// The page command on every real data file of the shared test data: the boot
// page and the first data page print one record entry per slot. Skips when
// the folder is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <sstream>

#include "cli/info_command.h"
#include "cli/page_command.h"
#include "pages/database_file.h"
#include "scan/application_state.h"
#include "support/real_data.h"
#include "support/progress_recorder.h"

namespace quill {
namespace {

// The lowest-placed data page (type 1) of the primary file.
std::optional<PageAddress> FirstDataPage(const CDatabaseFile& file) {
  std::optional<PageAddress> first;
  for (const auto& [object_id, pages] : file.dataPages()) {
    for (const PageRef& ref : pages) {
      if (ref.pageType != kPageTypeData || ref.fileId != 1) continue;
      if (!first || ref.pageIndex < first->pageId) first = PageAddress{1, ref.pageIndex};
    }
  }
  return first;
}

// The "  slot N..." lines of the records section.
size_t CountRecordEntries(const std::string& out) {
  const size_t section = out.find("\nrecords by slot\n");
  if (section == std::string::npos) return 0;
  std::istringstream lines(out.substr(section + 17));
  size_t count = 0;
  std::string line;
  while (std::getline(lines, line) && line.rfind("records:", 0) != 0) {
    if (line.rfind("  slot ", 0) == 0) ++count;
  }
  return count;
}

class RealPages : public testing::RealFileTest {};

TEST_P(RealPages, BootAndFirstDataPagePrintOneEntryPerSlot) {
  const std::string& path = this->path();
  ApplicationState state;
  CDatabaseFile file;
  ASSERT_TRUE(file.Open(path, nullptr));
  const std::optional<PageAddress> data_page = FirstDataPage(file);
  ASSERT_TRUE(data_page);

  for (const PageAddress address : {PageAddress{1, 9}, *data_page}) {
    SCOPED_TRACE(::testing::Message() << "page " << address.fileId << ":" << address.pageId);
    const std::optional<CPage_Header> header = file.ReadPageHeader(address);
    ASSERT_TRUE(header);
    ASSERT_GE(header->slotCount, 1);

    ApplicationState run_state;
    testing::ProgressRecorder progress;
    std::ostringstream out;
    ASSERT_EQ(RunPageCommand(path, address, run_state, progress, out), kExitOk);
    EXPECT_TRUE(progress.Errors().empty());
    EXPECT_EQ(CountRecordEntries(out.str()), header->slotCount) << out.str();
    // The files are sound: every slot of these pages holds a row.
    const std::string slots = std::to_string(header->slotCount);
    const std::string summary =
        "records: " + slots + " of " + slots + " slots parsed, 0 skipped, 0 not shown\n";
    EXPECT_EQ(out.str().substr(out.str().rfind("records: ")), summary);
  }
}

QUILL_REAL_FILE_TESTS(RealPages, testing::RealFiles());

}  // namespace
}  // namespace quill
