// The catalog database writer, read back through the page and record
// layers: system table rows at the offsets of their layouts, user tables'
// pages under their allocation units' page keys, page chains and IAM pages.
#include "catalog_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "common/little_endian.h"
#include "common/text_encoding.h"
#include "pages/database_file.h"
#include "records/table_page_list.h"
#include "records/data_page.h"
#include "support/temp_dir.h"
#include "records/page_reads.h"
#include "scan/application_state.h"

namespace quill {
namespace {

using fixture::Bytes;
using fixture::CatalogDatabaseLayout;
using fixture::DatabaseDescription;
using fixture::CatalogLayout;
using fixture::Column;
using fixture::PlainRecordBuilder;
using fixture::TableDescription;

template <typename T>
T At(const CRecord& record, size_t offset) {
  if (offset + sizeof(T) > record.fixedData.size()) {
    ADD_FAILURE() << "offset " << offset << " past a fixed part of " << record.fixedData.size();
    return T{};
  }
  return LoadLittleEndianUnchecked<T>(record.fixedData.data() + offset);
}

std::string TypeCodeAt(const CRecord& record, size_t offset) {
  return std::string{static_cast<char>(At<uint8_t>(record, offset)),
                     static_cast<char>(At<uint8_t>(record, offset + 1))};
}

// The first variable-length column as text.
std::string NameOf(const CRecord& record) {
  auto entries = record.varEntries();
  return entries.empty() ? std::string() : Utf16LeToUtf8(entries[0].bytes());
}

Bytes UserRow(int32_t id, uint8_t tag) {
  Bytes fixed(8, tag);
  StoreLittleEndianUnchecked<int32_t>(fixed.data(), id);
  return PlainRecordBuilder()
      .Fixed(fixed)
      .ColumnCount(3)
      .Nulls({})
      .Variable({tag, 0, tag, 0})
      .Build();
}

class CatalogBuilderTest : public ::testing::Test {
 protected:
  void Open(const DatabaseDescription& description) {
    const std::string path = dir_.File("catalog.mdf");
    ASSERT_TRUE(fixture::BuildCatalogDatabase(description, &layout_).WriteTo(path));
    file_ = std::make_unique<CDatabaseFile>();
    ASSERT_TRUE(file_->Open(path, nullptr));
  }

  // Every record of the pages filed under `object_id`, in page and slot
  // order; the pages stay alive with the fixture.
  std::vector<const CPrimaryRecord*> Records(int32_t object_id) {
    std::vector<const CPrimaryRecord*> records;
    const PageMap& map =
        file_->systemPages().contains(object_id) ? file_->systemPages() : file_->dataPages();
    auto it = map.find(object_id);
    if (it == map.end()) return records;
    for (const PageRef& ref : it->second) {
      auto page = quill::ReadDataPage(*file_, {ref.fileId, ref.pageIndex}, {});
      if (!page) {
        ADD_FAILURE() << "page " << ref.pageIndex << " of object " << object_id << " unreadable";
        continue;
      }
      for (const CPrimaryRecord* record : page->records()) {
        EXPECT_NE(record, nullptr);
        if (record) records.push_back(record);
      }
      pages_.push_back(std::move(page));
    }
    return records;
  }

  std::vector<const CPrimaryRecord*> RecordsWhere(int32_t object_id, size_t offset, int32_t value) {
    std::vector<const CPrimaryRecord*> out;
    for (const CPrimaryRecord* record : Records(object_id)) {
      if (At<int32_t>(*record, offset) == value) out.push_back(record);
    }
    return out;
  }

  testing::TempDir dir_;
  ApplicationState state_;
  std::unique_ptr<CDatabaseFile> file_;
  std::vector<std::unique_ptr<CDataPage>> pages_;
  CatalogDatabaseLayout layout_;
};

// Two tables with keys and a foreign key between them, and a view.
class NewerLayoutTest : public CatalogBuilderTest {
 protected:
  static constexpr int32_t kOrders = 245575913;
  static constexpr int32_t kCustomers = 117;
  static constexpr const char* kOrdersName = "Bestellung_\xC3\xA4\xF0\x9D\x84\x9E";  // ä, U+1D11E

  void SetUp() override {
    DatabaseDescription description;
    TableDescription orders{.name = kOrdersName, .objectId = kOrders};
    orders.columns = {Column("id", "int"), Column("note", "nvarchar", 40),
                      Column("customer", "int")};
    orders.columns[0].nullable = false;
    orders.columns[0].identity = fixture::IdentityDescription{100, 5};
    orders.rows = {UserRow(1, 'a'), UserRow(2, 'b'), UserRow(3, 'c')};
    TableDescription customers{.name = "Kunde", .objectId = kCustomers, .clustered = true};
    customers.columns = {Column("id", "int"), Column("email", "nvarchar", 200)};
    customers.primaryKey = fixture::KeyDescription{.name = "PK_Kunde", .columnIds = {1}};
    customers.uniqueConstraints = {{.name = "UQ_Kunde_Email", .columnIds = {2}}};
    description.tables = {orders, customers};
    description.foreignKeys = {{.name = "FK_Bestellung_Kunde",
                         .parentTableId = kOrders,
                         .referencedTableId = kCustomers,
                         .columns = {{3, 1}}}};
    description.objects = {fixture::ModuleObject(500, "v_Kunden", "V ")};
    Open(description);
  }

  // Object id of the one sysschobjs row of type `code`.
  int32_t ObjectIdOfType(const std::string& code) {
    std::vector<int32_t> ids;
    for (const CPrimaryRecord* record : Records(34)) {
      if (TypeCodeAt(*record, 13) == code) ids.push_back(At<int32_t>(*record, 0));
    }
    EXPECT_EQ(ids.size(), 1u) << code;
    return ids.empty() ? -1 : ids[0];
  }
};

TEST_F(NewerLayoutTest, ObjectRowsNameTablesKeysAndModules) {
  struct Expected {
    std::string name;
    std::string type;
    int32_t parent;
  };
  std::map<int32_t, Expected> objects;
  for (const CPrimaryRecord* record : Records(34)) {
    ASSERT_GE(record->fixedData.size(), 24u);
    objects[At<int32_t>(*record, 0)] = {NameOf(*record), TypeCodeAt(*record, 13),
                                        At<int32_t>(*record, 15)};
  }
  ASSERT_EQ(objects.size(), 6u);
  EXPECT_EQ(objects[kOrders].name, kOrdersName);
  EXPECT_EQ(objects[kOrders].type, "U ");
  EXPECT_EQ(objects[kCustomers].type, "U ");
  EXPECT_EQ(objects[500].name, "v_Kunden");
  EXPECT_EQ(objects[500].type, "V ");

  // Keys and the foreign key get ids of their own, above every given id.
  const int32_t pk = ObjectIdOfType("PK");
  const int32_t uq = ObjectIdOfType("UQ");
  const int32_t fk = ObjectIdOfType("F ");
  for (int32_t id : {pk, uq, fk}) EXPECT_GT(id, kOrders);
  EXPECT_EQ(objects[pk].name, "PK_Kunde");
  EXPECT_EQ(objects[pk].parent, kCustomers);
  EXPECT_EQ(objects[uq].parent, kCustomers);
  EXPECT_EQ(objects[fk].name, "FK_Bestellung_Kunde");
  EXPECT_EQ(objects[fk].parent, kOrders);
}

TEST_F(NewerLayoutTest, ColumnRowsCarryTypesNullabilityAndIdentity) {
  auto columns = RecordsWhere(41, 0, kOrders);
  ASSERT_EQ(columns.size(), 3u);
  const CPrimaryRecord& id = *columns[0];
  EXPECT_EQ(NameOf(id), "id");
  EXPECT_EQ(At<int32_t>(id, 6), 1);    // column id
  EXPECT_EQ(At<uint8_t>(id, 10), 56);  // int
  EXPECT_EQ(At<int16_t>(id, 15), 4);
  EXPECT_EQ(At<int32_t>(id, 23), 5);  // identity status
  ASSERT_EQ(id.varEntries().size(), 2u);
  auto identity = id.varEntries()[1].bytes();
  ASSERT_EQ(identity.size(), 24u);
  EXPECT_EQ(LoadLittleEndianUnchecked<uint32_t>(identity.data() + 4), 100u);
  EXPECT_EQ(LoadLittleEndianUnchecked<uint32_t>(identity.data() + 8), 5u);

  const CPrimaryRecord& note = *columns[1];
  EXPECT_EQ(NameOf(note), "note");
  EXPECT_EQ(At<int32_t>(note, 6), 2);
  EXPECT_EQ(At<uint8_t>(note, 10), 231);
  EXPECT_EQ(At<int16_t>(note, 15), 40);
  EXPECT_EQ(At<int32_t>(note, 23) & 1, 0);  // nullable
  EXPECT_EQ(note.varEntries().size(), 1u);

  // One scalar type row per built-in type in use.
  std::map<int32_t, std::string> types;
  for (const CPrimaryRecord* record : Records(50)) types[At<int32_t>(*record, 0)] = NameOf(*record);
  EXPECT_EQ(types, (std::map<int32_t, std::string>{{56, "int"}, {231, "nvarchar"}}));
}

TEST_F(NewerLayoutTest, TablePagesAreFoundThroughRowsetAndAllocationUnit) {
  auto rowsets = RecordsWhere(5, 9, kOrders);
  ASSERT_EQ(rowsets.size(), 1u);
  EXPECT_EQ(At<int32_t>(*rowsets[0], 13), 0);  // a heap
  const uint64_t rowset_id = At<uint64_t>(*rowsets[0], 0);

  std::vector<const CPrimaryRecord*> units;
  for (const CPrimaryRecord* record : Records(7)) {
    if (At<uint64_t>(*record, 9) == rowset_id) units.push_back(record);
  }
  ASSERT_EQ(units.size(), 1u);
  AllocUnitRow unit;
  unit.allocUnitId = At<uint64_t>(*units[0], 0);
  EXPECT_EQ(At<uint8_t>(*units[0], 8), 1);  // in-row data
  const int32_t key = unit.pageKey();
  EXPECT_NE(key, kOrders);

  // The data pages carry the page key, not the table's object id, and hold
  // the rows in order.
  EXPECT_FALSE(file_->dataPages().contains(kOrders));
  ASSERT_TRUE(file_->dataPages().contains(key));
  const auto& data = file_->dataPages().at(key);
  ASSERT_EQ(data.size(), 1u);
  EXPECT_EQ(At<int32_t>(*units[0], 23), data[0].pageIndex);
  EXPECT_EQ(At<uint16_t>(*units[0], 27), 1);
  auto header = file_->ReadPageHeader({1, data[0].pageIndex});
  ASSERT_TRUE(header);
  EXPECT_GE(header->indexId, 256);
  auto rows = Records(key);
  ASSERT_EQ(rows.size(), 3u);
  for (size_t i = 0; i < rows.size(); ++i) {
    const Bytes expected = UserRow(static_cast<int32_t>(i + 1), static_cast<uint8_t>('a' + i));
    EXPECT_EQ(Bytes(rows[i]->rawCopy.begin(), rows[i]->rawCopy.end()), expected);
  }
  const int32_t iam = At<int32_t>(*units[0], 35);
  ASSERT_TRUE(file_->iamPages().contains(key));
  EXPECT_EQ(file_->iamPages().at(key)[0].pageIndex, iam);
  std::vector<PageAddress> walked;
  WalkIamChain(*file_, {1, iam}, walked, {});
  EXPECT_EQ(walked, (std::vector<PageAddress>{{1, data[0].pageIndex}}));

  // Column layout rows: fixed values from offset 4, the nvarchar as the
  // first variable column (~0), null bits by position.
  auto layout_rows = Records(3);
  std::vector<std::tuple<int32_t, uint16_t, int32_t>> placed;
  for (const CPrimaryRecord* record : layout_rows) {
    if (At<uint64_t>(*record, 0) != rowset_id) continue;
    placed.emplace_back(At<int32_t>(*record, 8), At<uint16_t>(*record, 40),
                        At<int32_t>(*record, 44));
  }
  EXPECT_EQ(placed, (std::vector<std::tuple<int32_t, uint16_t, int32_t>>{
                        {1, 4, 1}, {2, 0xFFFF, 2}, {3, 8, 3}}));

  // A table without rows has a clustered rowset and a unit naming no pages.
  auto customer_rowsets = RecordsWhere(5, 9, kCustomers);
  ASSERT_EQ(customer_rowsets.size(), 2u);  // clustered data, unique constraint index
  EXPECT_EQ(At<int32_t>(*customer_rowsets[0], 13), 1);
  const uint64_t customer_rowset = At<uint64_t>(*customer_rowsets[0], 0);
  for (const CPrimaryRecord* record : Records(7)) {
    if (At<uint64_t>(*record, 9) != customer_rowset) continue;
    EXPECT_EQ(At<int32_t>(*record, 23), 0);
    EXPECT_EQ(At<int32_t>(*record, 35), 0);
  }
}

TEST_F(NewerLayoutTest, KeysAndForeignKeysHaveIndexAndReferenceRows) {
  // Index rows: the primary key is the clustered index; the unique
  // constraint a further index.
  std::map<int32_t, std::pair<std::string, int32_t>> indexes;
  for (const CPrimaryRecord* record : RecordsWhere(54, 0, kCustomers)) {
    indexes[At<int32_t>(*record, 4)] = {NameOf(*record), At<int32_t>(*record, 8)};
  }
  ASSERT_EQ(indexes.size(), 2u);
  EXPECT_EQ(indexes[1].first, "PK_Kunde");
  EXPECT_EQ(indexes[1].second & 0x21, 0x21);
  EXPECT_EQ(indexes[2].first, "UQ_Kunde_Email");
  EXPECT_EQ(indexes[2].second & 0x41, 0x41);
  EXPECT_EQ(indexes[2].second & 0x20, 0);

  // (index id, column id, status) of each key column.
  std::vector<std::tuple<int32_t, int32_t, int32_t>> key_columns;
  for (const CPrimaryRecord* record : RecordsWhere(55, 0, kCustomers)) {
    key_columns.emplace_back(At<int32_t>(*record, 4), At<int32_t>(*record, 16),
                             At<int32_t>(*record, 12));
  }
  EXPECT_EQ(key_columns,
            (std::vector<std::tuple<int32_t, int32_t, int32_t>>{{1, 1, 0x20}, {2, 2, 0x40}}));

  // One reference row per side of the column pair.
  const int32_t fk = ObjectIdOfType("F ");
  std::vector<std::tuple<int, int32_t, int32_t, int32_t, int32_t>> refs;
  for (const CPrimaryRecord* record : Records(74)) {
    refs.emplace_back(At<uint8_t>(*record, 0), At<int32_t>(*record, 1), At<int32_t>(*record, 5),
                      At<int32_t>(*record, 9), At<int32_t>(*record, 13));
  }
  EXPECT_EQ(refs, (std::vector<std::tuple<int, int32_t, int32_t, int32_t, int32_t>>{
                      {28, fk, 1, kOrders, 3}, {29, fk, 1, kCustomers, 1}}));
}

TEST_F(CatalogBuilderTest, LongTablesSpanChainedPagesAndWholeExtents) {
  DatabaseDescription description;
  for (int32_t i = 0; i < 300; ++i) {
    description.objects.push_back(
        fixture::ModuleObject(1000 + i, "view_" + std::string(60, 'x') + std::to_string(i), "V "));
  }
  TableDescription big{.name = "big", .objectId = 5000};
  big.columns = {Column("payload", "binary", 3000)};
  for (int i = 0; i < 21; ++i) {
    big.rows.push_back(
        PlainRecordBuilder().Fixed(Bytes(3000, static_cast<uint8_t>(i))).ColumnCount(1).Build());
  }
  description.tables = {big};
  Open(description);

  // sysschobjs: several pages, chained, holding every row once in order.
  const auto& object_pages = file_->systemPages().at(34);
  ASSERT_GT(object_pages.size(), 1u);
  for (size_t i = 0; i < object_pages.size(); ++i) {
    auto header = file_->ReadPageHeader({1, object_pages[i].pageIndex});
    ASSERT_TRUE(header);
    EXPECT_EQ(header->indexId, 0);
    EXPECT_EQ(header->nextPage.pageId,
              i + 1 < object_pages.size() ? object_pages[i + 1].pageIndex : 0);
  }
  auto objects = Records(34);
  ASSERT_EQ(objects.size(), 301u);  // the table, then the views
  for (int32_t i = 0; i < 300; ++i) EXPECT_EQ(At<int32_t>(*objects[1 + i], 0), 1000 + i);

  // Two rows per page: eleven data pages, the last three in an extent of
  // their own, all reached from the IAM page.
  ASSERT_EQ(layout_.tables.size(), 1u);
  const fixture::BuiltTable& table = layout_.tables[0];
  ASSERT_EQ(table.dataPages.size(), 11u);
  EXPECT_EQ(table.dataPages[8] % 8, 0);
  std::vector<PageAddress> walked;
  WalkIamChain(*file_, {1, table.iamPage}, walked, {});
  std::vector<int32_t> walked_ids;
  for (PageAddress address : walked) walked_ids.push_back(address.pageId);
  std::sort(walked_ids.begin(), walked_ids.end());
  // The extent's last five pages are allocated but unused.
  std::vector<int32_t> expected = table.dataPages;
  for (int32_t page = table.dataPages.back() + 1; page % 8 != 0; ++page) expected.push_back(page);
  EXPECT_EQ(walked_ids, expected);
  auto rows = Records(table.pageKey);
  ASSERT_EQ(rows.size(), 21u);
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i]->fixedData[0], i);
}

TEST_F(CatalogBuilderTest, Sql2000LayoutUsesSysobjectsSysindexesAndSyscolumns) {
  DatabaseDescription description{.layout = CatalogLayout::kSql2000};
  description.boot.versionNumber = 539;
  description.boot.createVersionNumber = 539;
  TableDescription table{.name = "Orders", .objectId = 2073058421, .clustered = true};
  table.columns = {Column("id", "int"), Column("note", "varchar", 30)};
  table.columns[0].nullable = false;
  table.primaryKey = fixture::KeyDescription{.name = "PK_Orders", .columnIds = {1}};
  table.rows = {UserRow(1, 'a')};
  description.tables = {table};
  Open(description);

  EXPECT_FALSE(file_->systemPages().contains(34));
  EXPECT_FALSE(file_->systemPages().contains(7));
  auto objects = Records(1);
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_EQ(At<int32_t>(*objects[0], 0), 2073058421);
  EXPECT_EQ(TypeCodeAt(*objects[0], 4), "U ");
  EXPECT_EQ(NameOf(*objects[0]), "Orders");
  EXPECT_EQ(TypeCodeAt(*objects[1], 4), "PK");
  EXPECT_EQ(At<int32_t>(*objects[1], 24), 2073058421);

  // The data pages carry the table's object id.
  ASSERT_TRUE(file_->dataPages().contains(2073058421));
  const int32_t data_page = file_->dataPages().at(2073058421)[0].pageIndex;
  auto indexes = Records(2);
  ASSERT_EQ(indexes.size(), 1u);
  const CPrimaryRecord& index = *indexes[0];
  ASSERT_GE(index.fixedData.size(), 68u);
  EXPECT_EQ(At<int32_t>(index, 0), 2073058421);
  EXPECT_EQ(At<int32_t>(index, 8), data_page);
  EXPECT_EQ(At<int16_t>(index, 14), 1);
  EXPECT_EQ(file_->iamPages().at(2073058421)[0].pageIndex, At<int32_t>(index, 64));

  auto columns = Records(3);
  ASSERT_EQ(columns.size(), 2u);
  for (const CPrimaryRecord* column : columns) {
    EXPECT_GE(column->fixedData.size(), 43u);
    EXPECT_GT(column->columnCount, 20);
    EXPECT_EQ(At<int32_t>(*column, 0), 2073058421);
  }
  EXPECT_EQ(NameOf(*columns[1]), "note");
  EXPECT_EQ(At<uint8_t>(*columns[0], 4), 56);
  EXPECT_EQ(At<uint8_t>(*columns[0], 5) & 1, 1);  // NOT NULL
  EXPECT_EQ(At<uint8_t>(*columns[1], 5) & 1, 0);
  EXPECT_EQ(At<int16_t>(*columns[1], 8), 30);
  EXPECT_EQ(At<int16_t>(*columns[1], 12), 2);
  EXPECT_EQ(At<int16_t>(*columns[0], 14), 4);   // stored offset
  EXPECT_EQ(At<int16_t>(*columns[1], 14), -1);  // first variable column
}

TEST_F(CatalogBuilderTest, Sql2005KeepsColumnLayoutInObjects13And4) {
  DatabaseDescription description;
  description.boot.versionNumber = 611;
  TableDescription table{.name = "t", .objectId = 300};
  table.columns = {Column("a", "bigint"), Column("b", "nchar", 10), Column("c", "varbinary", -1)};
  description.tables = {table};
  const Bytes garbage = {0xFF, 0x00, 0x13, 0x37};
  description.extraRecords[2187] = {garbage};
  description.omittedSystemTables = {74};
  Open(description);

  EXPECT_FALSE(file_->systemPages().contains(3));
  EXPECT_FALSE(file_->systemPages().contains(74));
  const uint64_t rowset_id = layout_.tables[0].rowsetId;
  // (column id, leaf offset, null bit)
  std::vector<std::tuple<int32_t, int16_t, int16_t>> hobt;
  for (const CPrimaryRecord* record : Records(13)) {
    EXPECT_EQ(At<uint64_t>(*record, 0), rowset_id);
    hobt.emplace_back(At<int32_t>(*record, 8), At<int16_t>(*record, 27), At<int16_t>(*record, 33));
  }
  EXPECT_EQ(hobt, (std::vector<std::tuple<int32_t, int16_t, int16_t>>{
                      {1, 4, 1}, {2, 12, 2}, {3, -1, 3}}));
  std::vector<std::pair<int32_t, int32_t>> map;
  for (const CPrimaryRecord* record : Records(4)) {
    EXPECT_EQ(At<uint64_t>(*record, 0), rowset_id);
    map.emplace_back(At<int32_t>(*record, 8), At<int32_t>(*record, 12));
  }
  EXPECT_EQ(map, (std::vector<std::pair<int32_t, int32_t>>{{1, 1}, {2, 2}, {3, 3}}));

  // A raw record goes as it is onto a page of its own object id.
  const auto& raw_pages = file_->systemPages().at(2187);
  ASSERT_EQ(raw_pages.size(), 1u);
  auto raw = file_->ReadRawPage({1, raw_pages[0].pageIndex});
  ASSERT_TRUE(raw);
  auto bytes = raw->page();
  EXPECT_EQ(LoadLittleEndianUnchecked<uint16_t>(bytes.data() + 22), 1);  // slot count
  EXPECT_TRUE(std::equal(garbage.begin(), garbage.end(), bytes.begin() + 96));
}

}  // namespace
}  // namespace quill
