// Rows of a table's data pages: record selection, NULL cells, the binary
// prefix, placeholders for large values and pages of other units.
#include "values/page_rows.h"

#include <gtest/gtest.h>

#include "catalog/load_catalog.h"
#include "catalog/resolve_object.h"
#include "catalog_builder.h"
#include "lob_builder.h"
#include "page_builder.h"
#include "schema/type_codes.h"
#include "support/temp_dir.h"
#include "scan/application_state.h"
#include "support/read_options.h"
#include "catalog/current_table_pages.h"

namespace quill {
namespace {

using namespace fixture;

// A row of (int Id, nvarchar Name, varbinary Data): fixed int at 4, then two
// variable columns.
Bytes RowRecord(int32_t id, const std::string& name, Bytes data, int kind = 0, std::vector<int> nulls = {}) {
  PlainRecordBuilder b(kind);
  b.Fixed({static_cast<uint8_t>(id), 0, 0, 0}).ColumnCount(3).Nulls(nulls);
  b.Variable(Utf16Le(name));
  b.Variable(std::move(data), false);
  return b.Build();
}

class PageRowsTest : public ::testing::Test {
 protected:
  void Build(std::vector<Bytes> rows, std::vector<Bytes> text_page = {}) {
    DatabaseDescription description;
    description.pageCount = 80;
    TableDescription table;
    table.name = "Items";
    table.objectId = 1001;
    table.columns = {Column("Id", "int"), Column("Name", "nvarchar", 40), Column("Data", "varbinary", 20)};
    table.rows = std::move(rows);
    description.tables = {table};
    CatalogDatabaseLayout layout;
    const std::string path = dir_.File("rows.mdf");
    DataFileBuilder builder = BuildCatalogDatabase(description, &layout);
    if (!text_page.empty()) {
      PageBuilder page(3, 77, kTextPage);
      for (const Bytes& record : text_page) page.AddRecord(record);
      builder.SetPage(kTextPage, page.Build());
    }
    ASSERT_TRUE(builder.WriteTo(path));
    page_ = {1, layout.tables.at(0).dataPages.at(0)};
    file_ = std::make_unique<CDatabaseFile>();
    ASSERT_TRUE(file_->Open(path, nullptr));
    catalog_ = LoadCatalog(*file_, state_.readOptions(), state_.collationChoice());
    ASSERT_EQ(ResolveObject(*catalog_, *file_, catalog_->isSql2000, "Items", "U ", {}).size(), 3u);
  }
  std::vector<std::vector<std::string>> Cells(PageAddress address) {
    std::vector<std::vector<std::string>> cells;
    for (const Row& row : ReadPageRows(address, *file_, CurrentTableRows(catalog_->current), testing::OptionsFor(state_, *catalog_))) {
      cells.push_back(row.texts());
    }
    return cells;
  }

  static constexpr int32_t kTextPage = 70;
  testing::TempDir dir_;
  ApplicationState state_;
  std::unique_ptr<CDatabaseFile> file_;
  std::unique_ptr<SystemCatalog> catalog_;
  PageAddress page_;
};

TEST_F(PageRowsTest, CellsNullsBinaryPrefixAndGhosts) {
  Build({RowRecord(1, "Ann", {0xAB, 0xCD}), RowRecord(2, "B\xC3\xB6", {}, 0, {2}), RowRecord(3, "Gone", {1}, 6),
         RowRecord(4, "", {0x01}, 0, {1})});
  using Table = std::vector<std::vector<std::string>>;
  EXPECT_EQ(Cells(page_), (Table{{"1", "Ann", "0xABCD"}, {"2", "B\xC3\xB6", "NULL"}, {"4", "NULL", "0x01"}}));

  state_.showDeletedRecords = true;
  const auto with_deleted = Cells(page_);
  ASSERT_EQ(with_deleted.size(), 4u);
  EXPECT_EQ(with_deleted[2][1], "Gone");  // in slot order among the live rows
}

// A record whose fixed part stops inside the int column: the cell is
// empty and the row says why; the whole record beside it has no failure.
TEST_F(PageRowsTest, AValueCutShortKeepsItsReason) {
  PlainRecordBuilder cut;
  cut.Fixed({7, 0}).ColumnCount(3);
  cut.Variable(Utf16Le("Cut"));
  cut.Variable({0x01}, false);
  Build({RowRecord(1, "Ann", {0xAB}), cut.Build()});
  const std::vector<Row> rows =
      ReadPageRows(page_, *file_, CurrentTableRows(catalog_->current), testing::OptionsFor(state_, *catalog_));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_FALSE(rows[0].hasFailures());
  EXPECT_EQ(rows[1].text(0), "");
  ASSERT_NE(rows[1].failure(0), nullptr);
  EXPECT_EQ(rows[1].failure(0)->message(), "value cut short: 4 bytes needed, 2 stored");
  EXPECT_EQ(rows[1].failure(1), nullptr);
}

TEST_F(PageRowsTest, PagesThatAreNotTheTablesGiveNoRows) {
  Build({RowRecord(1, "Ann", {0xAB})});
  EXPECT_TRUE(Cells({1, 9}).empty());   // the boot page: not a data page
  EXPECT_TRUE(Cells({1, 16}).empty());  // a system table's data page: another unit
  EXPECT_TRUE(Cells({1, 99999}).empty());
  EXPECT_EQ(Cells(page_).size(), 1u);
}

TEST_F(PageRowsTest, LargeValuesShowPlaceholdersWhileTheDisplayRuns) {
  Bytes overflow = InRowRoot({{{1, kTextPage}, 0, 3}});
  overflow[0] = 4;  // a row-overflow pointer
  PlainRecordBuilder big;
  big.Fixed({7, 0, 0, 0}).ColumnCount(3).Nulls({}).Variable(Utf16Le("Big")).Variable(overflow, true);
  PlainRecordBuilder pointer;
  pointer.Fixed({8, 0, 0, 0}).ColumnCount(3).Nulls({}).Variable(Utf16Le("Ptr")).Variable(TextPointer({{1, kTextPage}, 0}), true);
  Build({big.Build(), pointer.Build()}, {DataNodeRecord({0xDE, 0xAD, 0xBE})});

  state_.tableDisplayActive = true;
  auto shown = Cells(page_);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0][2], "0x<BIG BINARY DATA>");
  EXPECT_EQ(shown[1][2], "0x<BINARY DATA>");

  state_.tableDisplayActive = false;
  auto read = Cells(page_);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0][2], "0xDEADBE");
  EXPECT_EQ(read[1][2], "0xDEADBE");
}

}  // namespace
}  // namespace quill
