// Records of the real data files: every data page parses, records stay
// inside their page and do not run into the next record, and the two
// layouts found only in real files (versioning tags, forwarded records with
// a back pointer) read as they should. Skips when the folder is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "pages/database_file.h"
#include "records/data_page.h"
#include "support/real_data.h"
#include "records/page_reads.h"
#include "scan/application_state.h"

namespace quill {
namespace {

const std::string kRoot = QUILLSTONE_REAL_DATA_DIR;

class RealRecordPages : public testing::RealFileTest {};

TEST_P(RealRecordPages, EveryDataPageParsesIntoRecordsThatFitTheirSlots) {
  const std::string& path = this->path();
  int64_t records_checked = 0;
  ApplicationState state;
  CDatabaseFile file;
  ASSERT_TRUE(file.Open(path, nullptr));
  for (const auto& [object_id, refs] : file.dataPages()) {
    for (const PageRef& ref : refs) {
      auto page = ReadDataPageAny(file, {1, ref.pageIndex}, {});
      ASSERT_NE(page, nullptr);
      // Pages of random bytes in unallocated space carry a wrong own id.
      if (page->header().thisPage.pageId != ref.pageIndex) continue;
      ASSERT_TRUE(page->slotOffsets().has_value()) << "page " << ref.pageIndex;
      EXPECT_EQ(page->records().size(), page->slotOffsets()->size()) << "page " << ref.pageIndex;
      std::vector<uint16_t> starts = *page->slotOffsets();
      std::sort(starts.begin(), starts.end());
      for (size_t slot = 0; slot < page->records().size(); ++slot) {
        const CPrimaryRecord* record = page->records()[slot];
        if (record == nullptr || record->notShown() || record->isCompressed) continue;
        const uint16_t offset = (*page->slotOffsets())[slot];
        SCOPED_TRACE("page " + std::to_string(ref.pageIndex) + " slot " + std::to_string(slot));
        if (record->kind == kRecordKindForwardingStub) {
          EXPECT_NE(record->fixedLength, kUnresolvedStubLength);
          continue;
        }
        ASSERT_GT(record->recordEnd, 0);
        EXPECT_EQ(static_cast<int32_t>(record->rawCopy.size()), record->recordEnd);
        // The record ends at or before the next record starts.
        auto next = std::upper_bound(starts.begin(), starts.end(), offset);
        const int32_t room = (next == starts.end() ? 8192 - 2 * static_cast<int32_t>(starts.size()) : *next) - offset;
        EXPECT_LE(record->recordEnd, room);
        ++records_checked;
      }
    }
  }
  EXPECT_GT(records_checked, 0);
}

QUILL_REAL_FILE_TESTS(RealRecordPages, testing::RealFiles());

std::unique_ptr<CDataPage> ReadRealPage(CDatabaseFile& file, const std::string& relative, int32_t page_id) {
  if (!file.Open(kRoot + "/" + relative, nullptr)) return nullptr;
  return quill::ReadDataPage(file, {1, page_id}, {});
}

TEST(RealRecords, VersioningTagBelongsToTheRecord) {
  if (!std::filesystem::exists(kRoot)) GTEST_SKIP() << "no real data at " << kRoot;
  ApplicationState state;
  CDatabaseFile file;
  auto page = ReadRealPage(file, "eftours-2012/TourDB22.mdf", 228);
  ASSERT_NE(page, nullptr);
  const CPrimaryRecord& record = *page->records().at(0);
  EXPECT_TRUE(record.hasVersioningTag);
  // Variable data ends at +2058; the 14-byte tag takes the record to +2072,
  // where slot 1 begins.
  EXPECT_EQ(record.recordEnd, 2072);
  EXPECT_EQ((*page->slotOffsets())[1], 96 + 2072);
}

TEST(RealRecords, ForwardedRecordAndItsStub) {
  if (!std::filesystem::exists(kRoot)) GTEST_SKIP() << "no real data at " << kRoot;
  ApplicationState state;
  CDatabaseFile file;
  auto body_page = ReadRealPage(file, "shafici-2008/Shafici.mdf", 187);
  ASSERT_NE(body_page, nullptr);
  const CPrimaryRecord& body = *body_page->records().at(0);
  EXPECT_EQ(body.kind, kRecordKindForwarded);
  EXPECT_EQ(body.columnCount, 14);
  EXPECT_EQ(body.varCount, 10);  // 11 stored, the back pointer left out
  EXPECT_EQ(body.varEntries().size(), 10u);

  // The back pointer names page 214 slot 24: the stub resolves to the body.
  auto stub_page = quill::ReadDataPage(file, {1, 214}, {});
  ASSERT_NE(stub_page, nullptr);
  const CPrimaryRecord& stub = *stub_page->records().at(24);
  EXPECT_EQ(stub.kind, kRecordKindForwardingStub);
  EXPECT_EQ(stub.columnCount, 14);
  ASSERT_EQ(stub.varEntries().size(), body.varEntries().size());
  for (size_t i = 0; i < body.varEntries().size(); ++i) {
    EXPECT_TRUE(std::ranges::equal(stub.varEntries()[i].bytes(), body.varEntries()[i].bytes())) << i;
  }
}

}  // namespace
}  // namespace quill
