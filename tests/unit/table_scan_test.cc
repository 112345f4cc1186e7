// Which records a whole table lists through the rows command: the page
// source of an empty table beside a full one whose ids a careless fallback
// would match, and the rows of a heap whose rows moved to other pages.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "catalog/current_table_pages.h"
#include "catalog/load_catalog.h"
#include "catalog/resolve_object.h"
#include "catalog_builder.h"
#include "cli/info_command.h"
#include "cli/rows_command.h"
#include "common/progress_sink.h"
#include "support/read_options.h"
#include "support/rows_lines.h"
#include "support/temp_dir.h"
#include "table_page_builder.h"
#include "records/record.h"
#include "value_bytes.h"

namespace quill {
namespace {

using namespace fixture;

class TableScanTest : public ::testing::Test {
 protected:
  void Write(const DatabaseDescription& description, const std::function<void(DataFileBuilder&, const CatalogDatabaseLayout&)>& edit = {}) {
    CatalogDatabaseLayout layout;
    DataFileBuilder builder = BuildCatalogDatabase(description, &layout);
    if (edit) edit(builder, layout);
    layout_ = layout;
    path_ = dir_.File("scan.mdf");
    ASSERT_TRUE(builder.WriteTo(path_));
  }

  // The CSV lines `rows` writes for `table`, header first.
  std::vector<std::string> Rows(const std::string& table, RecoveryMode mode) {
    return testing::RowsLines(path_, table, mode);
  }

  testing::TempDir dir_;
  std::string path_;
  CatalogDatabaseLayout layout_;
};

Bytes Plain(int32_t id, const std::string& name) {
  return PlainRecordBuilder().Fixed(stored::Int(id)).ColumnCount(2).Nulls({}).Variable(Utf16Le(name)).Build();
}

// The empty table's rowset has the id of the full table's data unit, and
// its object id is the object id on the full table's pages: neither makes
// the full table's rows its own, in either mode, nor does a stale page that
// still carries the empty table's own unit id in standard mode.
TEST_F(TableScanTest, EmptyTableListsNoRowsOfTheTableBesideIt) {
  constexpr int32_t kFullKey = 0x3000;
  constexpr uint64_t kFullUnit = (uint64_t{1} << 56) | (uint64_t{kFullKey} << 16);
  constexpr int32_t kEmptyKey = 0x3001;
  TableDescription full{.name = "Full", .objectId = 1001, .columns = {Column("id", "int"), Column("name", "nvarchar", 40)},
                 .rows = {Plain(1, "one"), Plain(2, "two")}, .pageKey = kFullKey};
  TableDescription empty{.name = "Empty", .objectId = kFullKey, .columns = {Column("id", "int"), Column("name", "nvarchar", 40)},
                  .pageKey = kEmptyKey, .rowsetId = kFullUnit};
  DatabaseDescription description{.pageCount = 80, .tables = {full, empty}};
  constexpr int32_t kStalePage = 70;
  Write(description, [&](DataFileBuilder& file, const CatalogDatabaseLayout& layout) {
    for (const BuiltTable& table : layout.tables) {
      for (int32_t page : table.dataPages) ASSERT_LT(page, kStalePage);
      ASSERT_LT(table.iamPage, kStalePage);
    }
    // A page of the empty table's unit that no allocation names any more.
    file.SetPage(kStalePage,
                 PageBuilder(1, kEmptyKey, kStalePage).IndexId(kTableDataIndexId).AddRecord(Plain(9, "stale")).Build());
  });

  for (RecoveryMode mode : {RecoveryMode::kStandard, RecoveryMode::kAdvanced}) {
    SCOPED_TRACE(static_cast<int>(mode));
    EXPECT_EQ(Rows("Full", mode), (std::vector<std::string>{"id,name", "1,one", "2,two"}));
  }
  EXPECT_EQ(Rows("Empty", RecoveryMode::kStandard), (std::vector<std::string>{"id,name"}));
  // Advanced mode offers the page that carries the table's own unit id.
  EXPECT_EQ(Rows("Empty", RecoveryMode::kAdvanced), (std::vector<std::string>{"id,name", "9,stale"}));

  ApplicationState state;
  CDatabaseFile file;
  ASSERT_TRUE(file.Open(path_, nullptr));
  auto catalog = LoadCatalog(file, state.readOptions(), state.collationChoice());
  ResolveObject(*catalog, file, false, "Empty", "U ", {});
  EXPECT_EQ(catalog->current.allocUnit.pageKey(), kEmptyKey);
  EXPECT_EQ(catalog->current.pageList, (std::vector<PageAddress>{{1, kStalePage}}));
  EXPECT_TRUE(CurrentTablePages(*catalog, file, testing::OptionsFor(state, *catalog)).pages.empty());
}

// Pages found by id give only records that fit the table: a page that
// carries the table's unit id but holds another table's records (one fixed
// byte where the table has two uniqueidentifiers, a NULL in a NOT NULL
// column, more columns than the table has) gives none of them.
TEST_F(TableScanTest, PagesFoundByIdGiveOnlyRecordsThatFitTheTable) {
  constexpr int32_t kKey = 0x3100;
  ColumnDescription application = Column("application", "uniqueidentifier");
  application.nullable = false;
  ColumnDescription path = Column("path", "uniqueidentifier");
  path.nullable = false;
  TableDescription table{.name = "Paths", .objectId = 1001, .columns = {application, path, Column("name", "nvarchar", 40)},
                  .pageKey = kKey};
  constexpr int32_t kPage = 70;
  const Bytes guid = stored::Guid("00112233-4455-6677-8899-AABBCCDDEEFF");
  Bytes guids = guid;
  guids.insert(guids.end(), guid.begin(), guid.end());
  Write({.pageCount = 80, .tables = {table}}, [&](DataFileBuilder& file, const CatalogDatabaseLayout&) {
    PageBuilder page(1, kKey, kPage);
    page.IndexId(kTableDataIndexId)
        .AddRecord(PlainRecordBuilder().Fixed({1}).ColumnCount(3).Nulls({}).Variable(Utf16Le("short")).Build())
        .AddRecord(PlainRecordBuilder().Fixed(guids).ColumnCount(3).Nulls({1}).Variable(Utf16Le("null")).Build())
        .AddRecord(PlainRecordBuilder().Fixed(guids).ColumnCount(9).Nulls({}).Variable(Utf16Le("wide")).Build())
        .AddRecord(PlainRecordBuilder().Fixed(guids).ColumnCount(3).Nulls({}).Variable(Utf16Le("fits")).Build());
    file.SetPage(kPage, page.Build());
  });
  const std::string g = "00112233-4455-6677-8899-AABBCCDDEEFF";
  EXPECT_EQ(Rows("Paths", RecoveryMode::kAdvanced),
            (std::vector<std::string>{"application,path,name", g + "," + g + ",fits"}));
}

// A heap on two pages. Page A: row 1, a stub to row 2 on page B, a stub to
// a slot B does not have, a stub to row 5 on A itself, and row 5. Page B:
// row 2 (its back pointer names its stub), row 3 (its stub is gone), row 4
// (its back pointer names row 1, which is not a stub), and a record a stale
// stub on A points at but whose back pointer names another slot.
TEST_F(TableScanTest, HeapListsEveryMovedRowOnce) {
  TableDescription heap{.name = "Heap", .objectId = 1001, .columns = {Column("id", "int"), Column("name", "nvarchar", 40)},
                 .rows = {Bytes(5000, 0), Bytes(5000, 0)}};
  Write({.pageCount = 80, .tables = {heap}}, [&](DataFileBuilder& file, const CatalogDatabaseLayout& layout) {
    const BuiltTable& table = layout.tables.at(0);
    ASSERT_EQ(table.dataPages.size(), 2u);
    const PageAddress a{1, table.dataPages[0]};
    const PageAddress b{1, table.dataPages[1]};
    auto moved = [](int32_t id, const std::string& name, PageAddress stub_page, uint16_t stub_slot) {
      return PlainRecordBuilder(kRecordKindForwarded)
          .Fixed(stored::Int(id))
          .ColumnCount(2)
          .Nulls({})
          .Variable(Utf16Le(name))
          .BackPointer(stub_page, stub_slot)
          .Build();
    };
    file.SetPage(a.pageId, TableDataPage(table, 0)
                               .AddRecord(Plain(1, "one"))                // slot 0
                               .AddRecord(ForwardingStub(b, 0))         // slot 1
                               .AddRecord(ForwardingStub(b, 7))         // slot 2: lost target
                               .AddRecord(ForwardingStub(a, 4))         // slot 3
                               .AddRecord(moved(5, "five", a, 3))       // slot 4
                               .AddRecord(ForwardingStub(b, 3))         // slot 5: not the stub of B:3
                               .Build());
    file.SetPage(b.pageId, TableDataPage(table, 1)
                               .AddRecord(moved(2, "two", a, 1))       // slot 0
                               .AddRecord(moved(3, "three", a, 9))     // slot 1: stub lost
                               .AddRecord(moved(4, "four", a, 0))      // slot 2: names a primary record
                               .AddRecord(moved(6, "six", b, 2))       // slot 3: names B:2
                               .Build());
  });
  for (RecoveryMode mode : {RecoveryMode::kStandard, RecoveryMode::kAdvanced}) {
    SCOPED_TRACE(static_cast<int>(mode));
    EXPECT_EQ(Rows("Heap", mode),
              (std::vector<std::string>{"id,name", "1,one", "2,two", "5,five", "3,three", "4,four", "6,six"}));
  }
}

}  // namespace
}  // namespace quill
