// The record list's display pages through TableListing: tables around the
// 1000-row page size paged to the end and back, labels, the position stack,
// empty rows, and the label texts.
#include "scan/table_listing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/module_database.h"
#include "support/paged_database.h"
#include "support/temp_dir.h"
#include "table_row_builder.h"

namespace quill {
namespace {

using testing::LoadedDatabase;
using testing::PagedTableName;
using testing::PagedTables;
using testing::TempDir;

class TableListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fixture::TableDescription blank = fixture::TextTable(
        "Blank", {"A", "B"}, {{"a", "b"}, {"", ""}, {"c", std::nullopt}, {"", ""}}, 20);
    db_ = std::make_unique<LoadedDatabase>(fixture::BuildCatalogDatabase(PagedTables({999, 1000, 1001, 2500}, {blank})),
                                           dir_.File("paged.mdf"));
    options_ = db_->options();
  }

  // Lists a page and remembers the Id cells and the running counts.
  template <typename List>
  auto Run(List list) {
    ids_.clear();
    counts_.clear();
    return list([this](const std::vector<std::string>& cells, int64_t inserted) {
      ids_.push_back(cells.at(0));
      counts_.push_back(inserted);
    });
  }

  bool Select(const std::string& name) {
    return listing_.Select(db_->catalog(), db_->file(), options_, name, "U ", {});
  }
  DisplayPage First(const std::string& name) {
    return Run([&](const TableListing::RowSink& sink) {
      return listing_.ListFirstPage(db_->file(), options_, progress_, sink, name);
    });
  }
  std::optional<DisplayPage> Next() {
    return Run([&](const TableListing::RowSink& sink) {
      return listing_.ListNextPage(db_->file(), options_, progress_, sink);
    });
  }
  std::optional<DisplayPage> Previous() {
    return Run([&](const TableListing::RowSink& sink) {
      return listing_.ListPreviousPage(db_->file(), options_, progress_, sink);
    });
  }

  TempDir dir_;
  std::unique_ptr<LoadedDatabase> db_;
  ReadOptions options_;
  NullProgressSink progress_;
  TableListing listing_;
  std::vector<std::string> ids_;
  std::vector<int64_t> counts_;
};

TEST(TableListingTexts, AreThoseOfThePageLabelAndCaption) {
  EXPECT_EQ(PageLabelText(1, 1000, 1, 1000), "Page1 - [1000](1-1000) Records");
  EXPECT_EQ(PageLabelText(1, 0, 0, 0), "Page1 - [0](0-0) Records");
  EXPECT_EQ(PageLabelText(3, 500, 2001, 2500), "Page3 - [500](2001-2500) Records");
  EXPECT_EQ(RowsToText(1000, 2000), "1000 rows to 2000");
  EXPECT_EQ(RowInsertedText(17), " row 17 inserted");
  EXPECT_EQ(SelectionCaptionText("Orders", 3), "Orders[3]");
  EXPECT_EQ(SelectionWaitLine("Orders"), "Please wait while Orders folder is scanning.");
}

// Each table paged forward to its end and back to its start: the labels,
// the row numbers and which links are possible at every step.
TEST_F(TableListingTest, PagesForwardToTheEndAndBack) {
  struct Case {
    int32_t rows;
    std::vector<std::string> labels;  // forward
  };
  const std::vector<Case> cases = {
      {999, {"Page1 - [999](1-999) Records"}},
      {1000, {"Page1 - [1000](1-1000) Records"}},
      {1001, {"Page1 - [1000](1-1000) Records", "Page2 - [1](1001-1001) Records"}},
      {2500,
       {"Page1 - [1000](1-1000) Records", "Page2 - [1000](1001-2000) Records",
        "Page3 - [500](2001-2500) Records"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rows);
    const std::string name = PagedTableName(c.rows);
    ASSERT_TRUE(Select(name));
    EXPECT_EQ(listing_.ColumnTitles(), (std::vector<std::string>{"Id", "Name"}));

    const DisplayPage first = First(name);
    EXPECT_EQ(first.pageLabel, c.labels[0]);
    EXPECT_EQ(first.caption, name + "[" + std::to_string(first.rows) + "]");
    EXPECT_EQ(first.rowsToLine, RowsToText(0, first.rows));
    EXPECT_FALSE(first.previousEnabled);
    EXPECT_EQ(first.nextEnabled, c.labels.size() > 1);
    ASSERT_FALSE(ids_.empty());
    EXPECT_EQ(ids_.front(), "1");
    EXPECT_EQ(counts_.back(), first.rows);
    EXPECT_EQ(listing_.positionStack().size(), c.labels.size() > 1 ? 2u : 1u);

    int64_t expected_id = first.rows + 1;
    for (size_t page = 1; page < c.labels.size(); ++page) {
      const std::optional<DisplayPage> next = Next();
      ASSERT_TRUE(next);
      EXPECT_EQ(next->pageLabel, c.labels[page]);
      EXPECT_EQ(next->caption, RowsToText(next->firstRow - 1, next->lastRow));
      EXPECT_TRUE(next->previousEnabled);
      EXPECT_EQ(next->nextEnabled, page + 1 < c.labels.size());
      EXPECT_EQ(ids_.front(), std::to_string(expected_id));
      expected_id += next->rows;
    }
    EXPECT_EQ(expected_id, c.rows + 1);
    EXPECT_FALSE(Next()) << "past the last page";

    for (size_t page = c.labels.size() - 1; page > 0; --page) {
      const std::optional<DisplayPage> previous = Previous();
      ASSERT_TRUE(previous);
      EXPECT_EQ(previous->pageLabel, c.labels[page - 1]);
      EXPECT_TRUE(previous->nextEnabled);
      EXPECT_EQ(previous->previousEnabled, page > 1);
      EXPECT_EQ(ids_.front(), std::to_string((page - 1) * 1000 + 1));
      EXPECT_EQ(ids_.size(), 1000u);
    }
    EXPECT_FALSE(Previous()) << "before the first page";
  }
}

TEST_F(TableListingTest, NextAfterPreviousShowsTheSamePageAgain) {
  ASSERT_TRUE(Select("T2500"));
  First("T2500");
  Next();
  Next();
  Previous();
  const std::optional<DisplayPage> again = Next();
  ASSERT_TRUE(again);
  EXPECT_EQ(again->pageLabel, "Page3 - [500](2001-2500) Records");
  EXPECT_EQ(ids_.front(), "2001");
  EXPECT_EQ(ids_.back(), "2500");
}

TEST_F(TableListingTest, RowsOfOnlyEmptyCellsAreLeftOut) {
  ASSERT_TRUE(Select("Blank"));
  const DisplayPage page = First("Blank");
  EXPECT_EQ(ids_, (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(page.pageLabel, "Page1 - [2](1-2) Records");
}

TEST_F(TableListingTest, VisitsEveryRowOfEveryDisplayPage) {
  ASSERT_TRUE(Select("T2500"));
  First("T2500");
  Next();
  std::vector<std::string> ids;
  const int64_t visited = listing_.VisitAllRows(db_->file(), options_, progress_,
                                                [&](const std::vector<std::string>& cells, int64_t) {
                                                  ids.push_back(cells.at(0));
                                                });
  EXPECT_EQ(visited, 2500);
  ASSERT_EQ(ids.size(), 2500u);
  EXPECT_EQ(ids.front(), "1");
  EXPECT_EQ(ids.back(), "2500");
  EXPECT_EQ(listing_.displayPage(), 2) << "the shown page stays";
}

TEST_F(TableListingTest, UnknownTableSelectsNothing) {
  EXPECT_FALSE(Select("NoSuchTable"));
  EXPECT_FALSE(listing_.selected());
  const DisplayPage page = First("NoSuchTable");
  EXPECT_EQ(page.pageLabel, "Page1 - [0](0-0) Records");
  EXPECT_TRUE(page.rowsToLine.empty());
  EXPECT_FALSE(page.nextEnabled);
}

TEST_F(TableListingTest, StopEndsTheListingEarly) {
  ASSERT_TRUE(Select("T2500"));
  StopSource stop;
  options_.parse.stop = stop.token();
  stop.RequestStop();
  const DisplayPage page = First("T2500");
  EXPECT_EQ(page.rows, 0);
  EXPECT_TRUE(ids_.empty());
  EXPECT_FALSE(page.nextEnabled);
  const int64_t visited =
      listing_.VisitAllRows(db_->file(), options_, progress_, [](const std::vector<std::string>&, int64_t) {});
  EXPECT_EQ(visited, 0);

  // With the request cleared the same listing reads its rows again.
  stop.Clear();
  EXPECT_EQ(First("T2500").rows, 1000);
}

}  // namespace
}  // namespace quill
