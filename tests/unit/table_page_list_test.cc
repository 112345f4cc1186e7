// A table's page list from its IAM chain, its next-page chain and the object
// page map.
#include "records/table_page_list.h"

#include <gtest/gtest.h>

#include "database_builder.h"
#include "page_builder.h"
#include "pages/database_file.h"
#include "records/extent_allocation_map.h"
#include "record_builder.h"
#include "support/page_parse.h"
#include "support/temp_dir.h"

namespace quill {
namespace {

using fixture::IamBitmapRecord;
using fixture::IamHeaderRecord;
using fixture::PageBuilder;
using fixture::PageImage;

PageImage IamImage(int32_t own_page, std::vector<PageAddress> singles, std::vector<int32_t> extents,
                   PageAddress next = {0, 0}) {
  return PageBuilder(10, 500, own_page)
      .Next(next)
      .AddRecord(IamHeaderRecord(singles))
      .AddRecord(IamBitmapRecord(extents))
      .Build();
}

TEST(IamPage, ReadsSinglePagesAndExtentBitmap) {
  IamPage iam(testing::ToBuffer(IamImage(100, {{1, 20}, {1, 21}}, {2 * 8 + 3})), nullptr, {});
  EXPECT_EQ(iam.singlePages()[0], (PageAddress{1, 20}));
  EXPECT_EQ(iam.singlePages()[1], (PageAddress{1, 21}));
  EXPECT_EQ(iam.singlePages()[2], (PageAddress{0, 0}));  // written as zeros
  EXPECT_EQ(iam.bitCount(), 63904);

  auto ranges = ListExtents(iam, 1000000);
  ASSERT_EQ(ranges.size(), 1u);
  EXPECT_EQ(ranges[0].firstPage, 152);  // bit 3 of byte 2
  EXPECT_EQ(ranges[0].lastPage, 159);
  EXPECT_EQ(iam.setCount, 1);
  auto pages = ExpandRange(ranges[0]);
  EXPECT_EQ(ranges[0].count, 8);
  EXPECT_EQ(pages.front(), (PageAddress{1, 152}));
  EXPECT_EQ(pages.back(), (PageAddress{1, 159}));
}

TEST(IamPage, IntervalFollowsTheOwnPageAndTheBitmapIsCutAtTheFile) {
  IamPage high(testing::ToBuffer(IamImage(511232 + 40, {}, {0, 1})), nullptr, {});
  auto ranges = ListExtents(high, 1000000);
  ASSERT_EQ(ranges.size(), 2u);
  EXPECT_EQ(ranges[0].firstPage, 511232);
  EXPECT_EQ(ranges[1].firstPage, 511240);

  IamPage low(testing::ToBuffer(IamImage(100, {}, {0, 5, 9, 40})), nullptr, {});
  auto cut = ListExtents(low, /*extent_count=*/10);
  ASSERT_EQ(cut.size(), 3u);
  EXPECT_EQ(cut.back().firstPage, 72);
}

TEST(IamPage, MissingRecordsGiveNoBitmap) {
  IamPage empty(testing::ToBuffer(PageBuilder(10, 500, 100).Build()), nullptr, {});
  EXPECT_EQ(empty.bitCount(), 0);
  EXPECT_TRUE(ListExtents(empty, 1000).empty());
  EXPECT_EQ(empty.singlePages()[0], (PageAddress{1, 0}));
}

class PageListTest : public ::testing::Test {
 protected:
  void Open(const fixture::DataFileBuilder& builder) {
    path_ = dir_.File("t.mdf");
    ASSERT_TRUE(builder.WriteTo(path_));
    file_ = std::make_unique<CDatabaseFile>();
    ASSERT_TRUE(file_->Open(path_, nullptr));
  }
  std::vector<PageAddress> DataPagesOf(int32_t object_id) {
    std::vector<PageAddress> pages;
    ObjectPageList(*file_, object_id, pages);
    return pages;
  }
  testing::TempDir dir_;
  std::string path_;
  std::unique_ptr<CDatabaseFile> file_;
};

TEST_F(PageListTest, IamChainListsSinglePagesThenExtents) {
  fixture::PrimaryFileLayout file_layout;
  file_layout.userTables = {{1001, 12}};
  Open(fixture::BuildPrimaryFile(file_layout));
  const std::vector<PageAddress> data = DataPagesOf(1001);
  ASSERT_EQ(data.size(), 12u);
  const PageRef iam = file_->iamPages().at(1001).at(0);

  std::vector<PageAddress> pages;
  WalkIamChain(*file_, {1, iam.pageIndex}, pages, {});
  // 8 single pages, then the whole extent holding the last 4 data pages.
  ASSERT_EQ(pages.size(), 16u);
  EXPECT_TRUE(std::equal(data.begin(), data.begin() + 8, pages.begin()));
  for (size_t i = 8; i < 12; ++i) EXPECT_EQ(pages[i], data[i]);
}

TEST_F(PageListTest, LoopingChainsEnd) {
  auto builder = fixture::BuildPrimaryFile({});
  // IAM pages 40 -> 41 -> 40, data pages 50 -> 51 -> 52 -> 50, and 53 -> 53.
  builder.SetPage(40, IamImage(40, {{1, 50}}, {}, {1, 41}));
  builder.SetPage(41, IamImage(41, {{1, 51}}, {}, {1, 40}));
  builder.SetPage(50, PageBuilder(1, 700, 50).Next({1, 51}).Build());
  builder.SetPage(51, PageBuilder(1, 700, 51).Next({1, 52}).Build());
  builder.SetPage(52, PageBuilder(1, 700, 52).Next({1, 50}).Build());
  builder.SetPage(53, PageBuilder(1, 700, 53).Next({1, 53}).Build());
  Open(builder);

  std::vector<PageAddress> iam_pages;
  WalkIamChain(*file_, {1, 40}, iam_pages, {});
  EXPECT_EQ(iam_pages, (std::vector<PageAddress>{{1, 50}, {1, 51}}));

  std::vector<PageAddress> chain;
  WalkPageChain(*file_, {1, 50}, chain, {});
  EXPECT_EQ(chain, (std::vector<PageAddress>{{1, 50}, {1, 51}, {1, 52}}));

  std::vector<PageAddress> self;
  WalkPageChain(*file_, {1, 53}, self, {});
  EXPECT_EQ(self, (std::vector<PageAddress>{{1, 53}}));
}

TEST_F(PageListTest, PageChainPassesThroughOtherPageTypesWithoutListingTheirSuccessor) {
  auto builder = fixture::BuildPrimaryFile({});
  builder.SetPage(50, PageBuilder(1, 700, 50).Next({1, 51}).Build());
  builder.SetPage(51, PageBuilder(2, 700, 51).Next({1, 52}).Build());  // an index page
  builder.SetPage(52, PageBuilder(1, 700, 52).Next({1, 53}).Build());
  builder.SetPage(53, PageBuilder(1, 700, 53).Build());
  Open(builder);
  std::vector<PageAddress> chain;
  WalkPageChain(*file_, {1, 50}, chain, {});
  EXPECT_EQ(chain, (std::vector<PageAddress>{{1, 50}, {1, 51}, {1, 53}}));
}

TEST_F(PageListTest, SinglePageSlotsOutsideTheFileAreSkipped) {
  auto builder = fixture::BuildPrimaryFile({});
  builder.SetPage(40, IamImage(40, {{1, 0}, {1, 50}, {1, 100000}, {0, 51}, {1, -4}}, {}));
  Open(builder);
  std::vector<PageAddress> pages;
  WalkIamChain(*file_, {1, 40}, pages, {});
  EXPECT_EQ(pages, (std::vector<PageAddress>{{1, 50}}));
}

TEST_F(PageListTest, ChoosePageSourceByModeAndCatalogEntry) {
  fixture::PrimaryFileLayout file_layout;
  file_layout.userTables = {{1001, 3}};
  auto builder = fixture::BuildPrimaryFile(file_layout);
  // An orphan page of the table that no IAM page reaches.
  builder.SetPage(60, PageBuilder(1, 1001, 60).Build());
  Open(builder);
  const std::vector<PageAddress> mapped = DataPagesOf(1001);
  ASSERT_EQ(mapped.size(), 4u);
  const PageAddress first = mapped[0];
  const PageAddress iam{1, file_->iamPages().at(1001).at(0).pageIndex};

  TablePageSource heap{1001, first, iam, 0};
  TablePageList standard = ChoosePageSource(*file_, heap, RecoveryMode::kStandard, {});
  EXPECT_EQ(standard.pages, std::vector<PageAddress>(mapped.begin(), mapped.begin() + 3));
  ASSERT_TRUE(standard.heapChainFallback);
  EXPECT_EQ(*standard.heapChainFallback, first);

  TablePageSource clustered{1001, first, iam, 1};
  EXPECT_FALSE(ChoosePageSource(*file_, clustered, RecoveryMode::kStandard, {}).heapChainFallback);

  EXPECT_EQ(ChoosePageSource(*file_, heap, RecoveryMode::kAdvanced, {}).pages, mapped);
  TablePageSource no_iam{1001, first, {1, 0}, 0};
  EXPECT_EQ(ChoosePageSource(*file_, no_iam, RecoveryMode::kStandard, {}).pages, mapped);
  TablePageSource bad_iam{1001, first, {1, 999999}, 0};
  EXPECT_TRUE(ChoosePageSource(*file_, bad_iam, RecoveryMode::kStandard, {}).pages.empty());
}

}  // namespace
}  // namespace quill
