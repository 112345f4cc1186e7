#include "pages/database_file.h"

#include <gtest/gtest.h>

#include <fstream>

#include "database_builder.h"
#include "page_builder.h"
#include "records/extent_allocation_map.h"
#include "records/data_page.h"
#include "records/text_mix_page.h"
#include "support/progress_recorder.h"
#include "support/temp_dir.h"
#include "records/page_reads.h"
#include "scan/application_state.h"

namespace quill {
namespace {

using fixture::BuildPrimaryFile;
using fixture::DataFileBuilder;
using fixture::PageBuilder;
using fixture::PrimaryFileLayout;
using testing::ProgressRecorder;
using testing::TempDir;

class DatabaseFileTest : public ::testing::Test {
 protected:
  // Writes `builder` and opens it.
  bool OpenFile(const DataFileBuilder& builder) {
    path_ = dir_.File("test.mdf");
    if (!builder.WriteTo(path_)) return false;
    file_ = std::make_unique<CDatabaseFile>();
    return file_->Open(path_, &progress_);
  }

  TempDir dir_;
  std::string path_;
  StopSource stop_;
  ProgressRecorder progress_;
  std::unique_ptr<CDatabaseFile> file_;
};

TEST_F(DatabaseFileTest, MapsSystemDataAndIamPagesByHeaderObjectId) {
  PrimaryFileLayout file_layout;
  file_layout.userTables = {{1001, 3}};
  DataFileBuilder builder = BuildPrimaryFile(file_layout);
  ASSERT_TRUE(OpenFile(builder));

  const PageMap& system = file_->systemPages();
  ASSERT_TRUE(system.contains(7));
  EXPECT_EQ(system.at(7).size(), 1u);
  EXPECT_EQ(system.at(7)[0].pageType, 1);
  // A data page of a system object is filed under both maps.
  EXPECT_EQ(file_->dataPages().at(7), system.at(7));
  EXPECT_EQ(system.at(99).size(), 5u);  // file header, PFS, GAM, SGAM, boot
  EXPECT_FALSE(file_->dataPages().contains(99));

  const auto& user = file_->dataPages().at(1001);
  ASSERT_EQ(user.size(), 3u);
  for (size_t i = 0; i < user.size(); ++i) {
    EXPECT_EQ(user[i].fileId, 1);
    EXPECT_EQ(user[i].pageType, 1);
    if (i > 0) {
      EXPECT_EQ(user[i].pageIndex, user[i - 1].pageIndex + 1);  // file order
    }
  }
  ASSERT_EQ(file_->iamPages().at(1001).size(), 1u);
  EXPECT_EQ(file_->iamPages().at(1001)[0].pageType, 10);
  EXPECT_EQ(file_->pageCount(), builder.pageCount());
  EXPECT_EQ(file_->extentCount(), builder.pageCount() / 8);
}

// A file of 256 pages and more is mapped in two stretches on two threads:
// the lists and the count of damaged pages are those of one pass.
TEST_F(DatabaseFileTest, MapsALargerFileInTwoStretchesAsOnePass) {
  PrimaryFileLayout file_layout;
  file_layout.userTables = {{1001, 150}, {1002, 200}};
  ASSERT_TRUE(OpenFile(BuildPrimaryFile(file_layout)));
  ASSERT_GE(file_->pageCount(), 350);
  const auto check_lists = [&] {
    for (const auto& [object_id, pages] : {std::pair{1001, 150u}, {1002, 200u}}) {
      const std::vector<PageRef>& list = file_->dataPages().at(object_id);
      ASSERT_EQ(list.size(), pages) << object_id;
      for (size_t i = 1; i < list.size(); ++i) EXPECT_GT(list[i].pageIndex, list[i - 1].pageIndex) << object_id;
      EXPECT_EQ(file_->iamPages().at(object_id).size(), 1u) << object_id;
    }
    EXPECT_EQ(file_->systemPages().at(99).size(), 5u);
  };
  check_lists();
  EXPECT_EQ(file_->damagedPageCount(), 0);

  // The first page of one table and the last of the other, one in each
  // stretch, name other pages in their headers.
  const int32_t first = file_->dataPages().at(1001).front().pageIndex;
  const int32_t last = file_->dataPages().at(1002).back().pageIndex;
  {
    std::fstream f(path_, std::ios::in | std::ios::out | std::ios::binary);
    for (int32_t page : {first, last}) {
      f.seekp(static_cast<std::streamoff>(page) * static_cast<std::streamoff>(kPageSize) +
              static_cast<std::streamoff>(page_header_layout::kThisPageId));
      f.put(static_cast<char>(0x07)).put(0).put(0).put(0);
    }
  }
  file_ = std::make_unique<CDatabaseFile>();
  ASSERT_TRUE(file_->Open(path_, nullptr));
  check_lists();
  EXPECT_EQ(file_->damagedPageCount(), 2);
}

TEST_F(DatabaseFileTest, ReportsProbeAndMappingInOrder) {
  ASSERT_TRUE(OpenFile(BuildPrimaryFile({})));
  const std::vector<std::string> expected = {
      "Checking for file corruption ...........",
      "Checking for file corruption is done...........",
      "Mapping Database Objects...........",
      "Mapping of Database Objects has been done ......................",
  };
  EXPECT_EQ(progress_.Texts(), expected);
  // Each pass starts with its range and position 0 and ends at the page count.
  const auto& m = progress_.messages;
  auto mapping = std::find_if(m.begin(), m.end(), [](const auto& x) {
    return x.text == "Mapping Database Objects...........";
  });
  ASSERT_NE(mapping, m.end());
  ASSERT_GE(mapping - m.begin(), 2);
  EXPECT_EQ(*(mapping - 2), (testing::RecordedMessage{MSG_PROGRESS_RANGE, 64, {}}));
  EXPECT_EQ(*(mapping - 1), (testing::RecordedMessage{MSG_PROGRESS_POS, 0, {}}));
  EXPECT_EQ(*(m.end() - 2), (testing::RecordedMessage{MSG_PROGRESS_POS, 64, {}}));
  // About 100 progress positions per pass at most.
  EXPECT_LE(progress_.Count(MSG_PROGRESS_POS), 2u * 102u);
}

TEST_F(DatabaseFileTest, ReadRawPageKeepsToTheBoundsOfTheFile) {
  ASSERT_TRUE(OpenFile(BuildPrimaryFile({})));
  const int32_t page_count = static_cast<int32_t>(file_->pageCount());
  struct Case {
    const char* name;
    PageAddress address;
    bool readable;
  } cases[] = {
      {"page 0", {1, 0}, false},
      {"negative page", {1, -1}, false},
      {"past the page count", {1, page_count + 1}, false},
      {"file id 0", {0, 9}, false},
      {"unknown secondary file", {2, 9}, false},
      {"boot page", {1, 9}, true},
      {"page count itself", {1, page_count}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto buffer = file_->ReadRawPage(c.address);
    EXPECT_EQ(buffer.has_value(), c.readable);
  }
  // The page at the page count lies past the end: all zeros.
  auto past_end = file_->ReadRawPage({1, page_count});
  ASSERT_TRUE(past_end);
  auto bytes = past_end->withGuard();
  EXPECT_EQ(bytes.size(), kPageSize + 1);
  EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; }));

  // A file cut inside its last page: that page keeps the bytes there are,
  // and the rest of it reads as zero.
  {
    std::ofstream tail(path_, std::ios::binary | std::ios::app);
    tail << std::string(100, '\xAB');
  }
  file_ = std::make_unique<CDatabaseFile>();
  ASSERT_TRUE(file_->Open(path_, nullptr));
  auto cut = file_->ReadRawPage({1, page_count});
  ASSERT_TRUE(cut);
  const auto cut_bytes = cut->withGuard();
  EXPECT_TRUE(std::all_of(cut_bytes.begin(), cut_bytes.begin() + 100, [](uint8_t b) { return b == 0xAB; }));
  EXPECT_TRUE(std::all_of(cut_bytes.begin() + 100, cut_bytes.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(DatabaseFileTest, TypedReadsBuildTheirPageKinds) {
  PrimaryFileLayout file_layout;
  file_layout.tornPages = true;
  file_layout.userTables = {{1001, 2}};
  ASSERT_TRUE(OpenFile(BuildPrimaryFile(file_layout)));
  const PageRef data_ref = file_->dataPages().at(1001)[0];
  const PageRef iam_ref = file_->iamPages().at(1001)[0];

  auto header = file_->ReadPageHeader({1, data_ref.pageIndex});
  ASSERT_TRUE(header);
  EXPECT_EQ(header->objectId, 1001);
  EXPECT_EQ(header->nextPage, (PageAddress{1, data_ref.pageIndex + 1}));

  auto kept = file_->ReadPageHeaderKeep({1, data_ref.pageIndex});
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->header().thisPage.pageId, data_ref.pageIndex);
  EXPECT_EQ(kept->file(), file_.get());

  auto data_page = quill::ReadDataPage(*file_, {1, data_ref.pageIndex}, {});
  ASSERT_NE(data_page, nullptr);
  // Torn bits were restored: the writer's marker 1 is gone from sector ends.
  EXPECT_EQ(data_page->data()[1023] & 3, 0);

  EXPECT_EQ(quill::ReadDataPage(*file_, {1, 0}, {}), nullptr);
  auto page_zero = ReadDataPageAny(*file_, {1, 0}, {});
  ASSERT_NE(page_zero, nullptr);
  EXPECT_EQ(page_zero->header().pageType, 15);

  auto iam = quill::ReadIamPage(*file_, {1, iam_ref.pageIndex}, {});
  ASSERT_NE(iam, nullptr);
  EXPECT_EQ(iam->header().pageType, 10);
}

TEST_F(DatabaseFileTest, ReadTextPageCorrectsAShiftedPage) {
  PrimaryFileLayout file_layout;
  file_layout.pageCount = 128;
  DataFileBuilder builder = BuildPrimaryFile(file_layout);
  // Page 100 claims to be 102: the file is shifted by two pages here, so the
  // page wanted as 100 sits at 98.
  builder.SetPage(100, PageBuilder(3, 500, 102).Build());
  builder.SetPage(98, PageBuilder(3, 500, 100).Build());
  builder.SetPage(110, PageBuilder(3, 500, 110).Build());
  ASSERT_TRUE(OpenFile(builder));

  auto shifted = quill::ReadTextPage(*file_, {1, 100}, {});
  ASSERT_NE(shifted, nullptr);
  EXPECT_EQ(shifted->header().thisPage.pageId, 100);

  auto healthy = quill::ReadTextPage(*file_, {1, 110}, {});
  ASSERT_NE(healthy, nullptr);
  EXPECT_EQ(healthy->header().thisPage.pageId, 110);

  // A correction that leaves the file reads nothing.
  builder.SetPage(120, PageBuilder(3, 500, 2000000000).Build());
  ASSERT_TRUE(OpenFile(builder));
  EXPECT_EQ(quill::ReadTextPage(*file_, {1, 120}, {}), nullptr);
}

TEST_F(DatabaseFileTest, StopRequestEndsTheMapping) {
  // A sink that raises the stop flag as soon as the mapping pass starts.
  class StopOnMapping final : public ProgressSink {
   public:
    explicit StopOnMapping(StopSource& stop) : stop_(stop) {}
    void ProgressRange(uint64_t) override {}
    void ProgressPos(uint64_t) override {}
    void StatusText(const std::string& text) override {
      if (text == "Mapping Database Objects...........") stop_.RequestStop();
    }
    void ScanError(const std::string& text) override { errors.push_back(text); }
    std::vector<std::string> errors;

   private:
    StopSource& stop_;
  } stopper(stop_);

  path_ = dir_.File("stop.mdf");
  ASSERT_TRUE(BuildPrimaryFile({}).WriteTo(path_));
  CDatabaseFile file;
  EXPECT_FALSE(file.Open(path_, &stopper, stop_.token()));
  EXPECT_TRUE(file.systemPages().empty());
  EXPECT_EQ(stopper.errors, std::vector<std::string>{kNotValidMdf});
}

TEST_F(DatabaseFileTest, SnapshotModeTakesTheMapsFromTheSnapshotSource) {
  class FakeSnapshot final : public SnapshotMapSource {
   public:
    explicit FakeSnapshot(bool fill) : fill_(fill) {}
    bool LoadMaps(CDatabaseFile& file, ProgressSink&) override {
      if (fill_) file.mutableSystemPages()[34].push_back({1, 20, 1});
      return true;
    }

   private:
    bool fill_;
  };
  path_ = dir_.File("snap.mdf");
  ASSERT_TRUE(BuildPrimaryFile({}).WriteTo(path_));
  FakeSnapshot filled(true);
  CDatabaseFile file;
  file.SetSnapshotMapSource(&filled);
  ASSERT_TRUE(file.Open(path_, &progress_));
  EXPECT_EQ(file.systemPages().size(), 1u);
  EXPECT_EQ(progress_.Texts().back(), "Load snapshot finished..processing tables ......................");

  FakeSnapshot empty(false);
  CDatabaseFile empty_file;
  empty_file.SetSnapshotMapSource(&empty);
  EXPECT_FALSE(empty_file.Open(path_, &progress_));
}

}  // namespace
}  // namespace quill
