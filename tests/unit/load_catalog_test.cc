// Loading the catalog of whole databases written by the fixture builder:
// both layouts, the order and rules of the load, and damaged catalogs.
#include "catalog/load_catalog.h"

#include <gtest/gtest.h>

#include <fstream>

#include "catalog/resolve_object.h"
#include "catalog_builder.h"
#include "page_builder.h"
#include "record_builder.h"
#include "support/temp_dir.h"
#include "scan/application_state.h"

namespace quill {
namespace {

using namespace fixture;

class LoadCatalogTest : public ::testing::Test {
 protected:
  // Writes the database and loads its catalog.
  SystemCatalog& Load(const DataFileBuilder& builder) {
    path_ = dir_.File("db.mdf");
    EXPECT_TRUE(builder.WriteTo(path_));
    file_ = std::make_unique<CDatabaseFile>();
    EXPECT_TRUE(file_->Open(path_, nullptr));
    catalog_ = LoadCatalog(*file_, state_.readOptions(), state_.collationChoice());
    return *catalog_;
  }
  const ObjectRow* Object(const std::string& name) const {
    for (const ObjectRow& o : catalog_->objects) {
      if (o.name == name) return &o;
    }
    return nullptr;
  }

  static DatabaseDescription Shop(CatalogLayout layout) {
    DatabaseDescription description;
    description.layout = layout;
    description.boot.versionNumber = layout == CatalogLayout::kSql2000 ? 539 : 706;
    TableDescription customers;
    customers.name = "Customers";
    customers.objectId = 1001;
    customers.clustered = true;
    customers.columns = {Column("Id", "int"), Column("Name", "nvarchar", 80)};
    customers.columns[0].nullable = false;
    customers.columns[0].identity = IdentityDescription{100, 5};
    customers.primaryKey = KeyDescription{"PK_Customers", 0, {1}, 0};
    customers.rows = {PlainRecordBuilder().Fixed({1, 0, 0, 0}).ColumnCount(2).Nulls({}).Variable(Utf16Le("Ann")).Build()};
    TableDescription orders;
    orders.name = "Orders";
    orders.objectId = 1002;
    orders.columns = {Column("OrderId", "int"), Column("CustomerId", "int"), Column("Note", "varchar", 30)};
    orders.rows = {PlainRecordBuilder().Fixed({7, 0, 0, 0, 1, 0, 0, 0}).ColumnCount(3).Nulls({}).Variable({'x'}).Build()};
    description.tables = {customers, orders};
    if (layout != CatalogLayout::kSql2000) {
      description.foreignKeys = {ForeignKeyDescription{"FK_Orders_Customers", 0, 1002, 1001, {{2, 1}}, 0}};
    }
    description.objects = {ModuleObject(1100, "OrderView", "V "), ModuleObject(1101, "AddOrder", "P ")};
    return description;
  }

  testing::TempDir dir_;
  std::string path_;
  ApplicationState state_;
  std::unique_ptr<CDatabaseFile> file_;
  std::unique_ptr<SystemCatalog> catalog_;
};

TEST_F(LoadCatalogTest, NewerLayoutTablesKeysAndModules) {
  SystemCatalog& catalog = Load(BuildCatalogDatabase(Shop(CatalogLayout::kSql2005Plus)));
  EXPECT_FALSE(catalog_->isSql2000);
  ASSERT_NE(Object("Customers"), nullptr);
  EXPECT_EQ(Object("Customers")->typeCode, "U ");
  EXPECT_EQ(Object("OrderView")->typeCode, "V ");
  EXPECT_EQ(Object("AddOrder")->typeCode, "P ");
  EXPECT_EQ(Object("PK_Customers")->parentObjectId, 1001);
  ASSERT_EQ(catalog.foreignKeyColumns.size(), 1u);
  EXPECT_EQ(catalog.foreignKeyColumns[0].referencedTableName, "Customers");
  EXPECT_EQ(catalog.foreignKeyColumns[0].parentColumnName, "CustomerId");

  const auto columns = ResolveObject(catalog, *file_, catalog_->isSql2000, "Customers", "U ", {});
  ASSERT_EQ(columns.size(), 2u);
  EXPECT_EQ(columns[0].typeText, "int(4)");
  EXPECT_EQ(columns[0].identityText, "identity(100,5)");
  EXPECT_TRUE(columns[0].primaryKey);
  EXPECT_FALSE(columns[0].nullable);
  EXPECT_EQ(columns[1].typeText, "nvarchar(80)");
  EXPECT_EQ(catalog.current.pageList.size(), 1u);

  const auto orders = ResolveObject(catalog, *file_, catalog_->isSql2000, "Orders", "U ", {});
  ASSERT_EQ(orders.size(), 3u);
  EXPECT_TRUE(orders[1].foreignKey);
  EXPECT_EQ(orders[1].referencedTable, "Customers");
  EXPECT_EQ(orders[1].referencedColumn, "Id");
}

TEST_F(LoadCatalogTest, Sql2000LayoutReadsSysobjectsSysindexesAndSyscolumns) {
  DatabaseDescription description = Shop(CatalogLayout::kSql2000);
  TableDescription system_like;  // object ids up to 100 are not listed as tables
  system_like.name = "low";
  system_like.objectId = 50;
  system_like.columns = {Column("a", "int")};
  description.tables.push_back(system_like);
  SystemCatalog& catalog = Load(BuildCatalogDatabase(description));
  EXPECT_TRUE(catalog_->isSql2000);
  EXPECT_EQ(Object("Customers")->typeCode, "U ");
  ASSERT_EQ(catalog.legacyTables.size(), 2u);  // the heap (index id 0) is listed too
  EXPECT_EQ(catalog.legacyTables[0].name, "Customers");
  EXPECT_EQ(catalog.legacyTables[0].columns.size(), 2u);
  EXPECT_EQ(catalog.legacyTables[1].name, "Orders");
  EXPECT_TRUE(catalog.allocUnits.empty());

  const auto columns = ResolveObject(catalog, *file_, true, "Orders", "U ", {});
  ASSERT_EQ(columns.size(), 3u);
  EXPECT_EQ(columns[2].typeText, "varchar(30)");
  EXPECT_EQ(catalog.current.pageList.size(), 1u);
}

TEST_F(LoadCatalogTest, RepairNamesAndSynthesizedObjects) {
  DatabaseDescription description;
  ObjectRow nameless;
  nameless.typeCode = "U ";
  for (int32_t id : {2001, 2002, 2003}) {
    nameless.objectId = id;
    Bytes record = ObjectRecord(nameless);
    // Drop the name column: status without variable columns.
    description.extraRecords[kSysSchObjs].push_back(
        PlainRecordBuilder().Fixed(Bytes(record.begin() + 4, record.begin() + 4 + 24)).ColumnCount(10).Nulls({}).Build());
  }
  ColumnRow empty_name;
  empty_name.objectId = 2001;
  empty_name.columnId = 1;
  empty_name.systemTypeId = 56;
  description.extraRecords[kSysColPars].push_back(ColumnRecord(empty_name));
  SystemCatalog& catalog = Load(BuildCatalogDatabase(description));
  std::vector<std::string> names;
  for (const ObjectRow& o : catalog.objects) names.push_back(o.name);
  EXPECT_NE(std::find(names.begin(), names.end(), "Repairname0"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "Repairname2"), names.end());
  ASSERT_FALSE(catalog.columns.empty());
  EXPECT_EQ(catalog.columns.back().name, "RepairColumn0");  // the column read numbers from 0

  // Without sysschobjs and sysobjects, tables are made from the column rows
  // (those of syscolumns, as the load then takes the 2000 layout).
  DatabaseDescription bare;
  bare.boot.versionNumber = 539;
  bare.omittedSystemTables = {kSysSchObjs, kSysObjects2000};
  for (int32_t id : {117, 245, 117}) {
    LegacyColumnRow column;
    column.objectId = id;
    column.columnId = 1;
    column.name = "c";
    column.systemTypeId = 56;
    bare.extraRecords[kSysColumns2000].push_back(LegacyColumnRecord(column));
  }
  SystemCatalog& synthesized = Load(BuildCatalogDatabase(bare));
  EXPECT_TRUE(catalog_->isSql2000);  // no sysschobjs row: the 2000 layout
  ASSERT_EQ(synthesized.objects.size(), 2u);
  EXPECT_EQ(synthesized.objects[0].name, "117");
  EXPECT_EQ(synthesized.objects[1].name, "245");
  EXPECT_EQ(synthesized.objects[1].typeCode, "U ");

  // A boot page of SQL Server 2012 keeps the newer layout when sysschobjs is
  // lost: the tables come back under their ids with their syscolpars
  // columns, and object 3 (sysrscols there) is not taken for syscolumns.
  DatabaseDescription lost = Shop(CatalogLayout::kSql2005Plus);
  lost.omittedSystemTables = {kSysSchObjs};
  lost.extraRecords = bare.extraRecords;
  SystemCatalog& recovered = Load(BuildCatalogDatabase(lost));
  EXPECT_FALSE(recovered.isSql2000);
  EXPECT_TRUE(recovered.legacyColumns.empty());
  std::vector<std::string> recovered_names;
  for (const ObjectRow& o : recovered.objects) recovered_names.push_back(o.name);
  EXPECT_NE(std::find(recovered_names.begin(), recovered_names.end(), "1001"), recovered_names.end());
  EXPECT_EQ(std::find(recovered_names.begin(), recovered_names.end(), "117"), recovered_names.end());
  ResolveObject(recovered, *file_, recovered.isSql2000, "1001", "U ", {});
  ASSERT_TRUE(recovered.current.foundFlag);
  ASSERT_EQ(recovered.current.descriptors.size(), 2u);
  EXPECT_EQ(recovered.current.descriptors[1].name, "Name");
}

TEST_F(LoadCatalogTest, ObjectIdsOfOrdinaryUnitsDoNotMixIntoTheCatalog) {
  DatabaseDescription description = Shop(CatalogLayout::kSql2005Plus);
  // A user table whose pages carry object id 34 (its allocation unit's page
  // key collides with sysschobjs), and an IAM page under object 34.
  TableDescription colliding;
  colliding.name = "Colliding";
  colliding.objectId = 1003;
  colliding.pageKey = 34;
  colliding.columns = {Column("a", "int")};
  ObjectRow fake;
  fake.objectId = 99999;
  fake.name = "NotAnObject";
  fake.typeCode = "U ";
  colliding.rows = {ObjectRecord(fake)};  // a row that would decode as an object
  description.tables.push_back(colliding);
  SystemCatalog& catalog = Load(BuildCatalogDatabase(description));
  EXPECT_EQ(Object("NotAnObject"), nullptr);
  EXPECT_NE(Object("Colliding"), nullptr);
  EXPECT_TRUE(file_->systemPages().contains(34));
  (void)catalog;
}

TEST_F(LoadCatalogTest, DamagedCatalogsKeepWhatCanBeRead) {
  struct Case {
    const char* name;
    std::function<void(DatabaseDescription&)> damage;
  } cases[] = {
      {"garbage records", [](DatabaseDescription& s) {
         for (int32_t id : {kSysSchObjs, kSysColPars, kSysAllocUnits, kSysRowsets, kSysRsCols}) {
           s.extraRecords[id].push_back(Bytes{0x30, 0x00, 0xFF, 0x7F, 1, 2, 3});
           s.extraRecords[id].push_back(Bytes{0x70, 0x00, 0x08, 0x00, 1, 2, 3, 4, 0xFF, 0x7F, 0x00});
         }
       }},
      {"short rows and odd names", [](DatabaseDescription& s) {
         s.extraRecords[kSysSchObjs].push_back(PlainRecordBuilder().Fixed(Bytes(10, 1)).ColumnCount(10).Nulls({}).Build());
         s.extraRecords[kSysColPars].push_back(
             PlainRecordBuilder().Fixed(Bytes(41, 0)).ColumnCount(16).Nulls({}).Variable({'a', 0, 'b'}).Build());
       }},
      {"duplicate column rows", [](DatabaseDescription& s) {
         ColumnRow dup;
         dup.objectId = 1001;
         dup.columnId = 1;
         dup.name = "Id";
         dup.systemTypeId = 56;
         s.extraRecords[kSysColPars].push_back(ColumnRecord(dup));
       }},
      {"rowset without allocation units", [](DatabaseDescription& s) { s.omittedSystemTables.insert(kSysAllocUnits); }},
      {"allocation unit outside the file", [](DatabaseDescription& s) {
         AllocUnitRow unit;
         unit.allocUnitId = (uint64_t{1} << 56) | (uint64_t{4242} << 16);
         unit.type = 1;
         unit.ownerId = 3ull << 56 | (uint64_t{1001} << 16);
         unit.firstPage = {1, 900000};
         unit.firstIamPage = {1, 900001};
         s.extraRecords[kSysAllocUnits].push_back(AllocUnitRecord(unit));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DatabaseDescription description = Shop(CatalogLayout::kSql2005Plus);
    c.damage(description);
    SystemCatalog& catalog = Load(BuildCatalogDatabase(description));
    ASSERT_NE(Object("Customers"), nullptr);
    for (const ObjectRow& o : catalog.objects) EXPECT_GT(o.objectId, 0);
    const auto columns = ResolveObject(catalog, *file_, catalog_->isSql2000, "Customers", "U ", {});
    EXPECT_EQ(columns.size(), 2u);
  }
}

// A system table page whose header leaves no records to read is kept with
// its reason and place; the rest of the catalog loads, and an undamaged
// catalog notes nothing.
TEST_F(LoadCatalogTest, ASystemPageThatGivesNoRecordsSaysWhy) {
  CatalogDatabaseLayout layout;
  const DataFileBuilder builder = BuildCatalogDatabase(Shop(CatalogLayout::kSql2005Plus), &layout);
  EXPECT_TRUE(Load(builder).pageFailures.empty());

  const int32_t page = layout.systemTablePages.at(kSysIdxStats).at(0);
  {
    std::fstream f(path_, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(page) * 8192 + 22);  // the header's slot count
    f.put(static_cast<char>(0xFF)).put(static_cast<char>(0xFF));
  }
  file_ = std::make_unique<CDatabaseFile>();
  ASSERT_TRUE(file_->Open(path_, nullptr));
  catalog_ = LoadCatalog(*file_, state_.readOptions(), state_.collationChoice());
  ASSERT_EQ(catalog_->pageFailures.size(), 1u);
  const SystemPageFailure& failure = catalog_->pageFailures[0];
  EXPECT_EQ(failure.objectId, kSysIdxStats);
  EXPECT_EQ(failure.reason.place().pageId, page);
  EXPECT_EQ(failure.reason.message(), "slot count 65535 is not 1 to 3999") << failure.reason.Text();
  EXPECT_NE(Object("Customers"), nullptr);
}

TEST_F(LoadCatalogTest, OnlyOrdinaryUnitPagesUnderSysschobjsGiveNoObjects) {
  DataFileBuilder builder(20);
  builder.SetPage(9, BuildBootPage({}));
  builder.SetPage(16, PageBuilder(1, 34, 16).IndexId(300).AddRecord(ObjectRecord(ModuleObject(5000, "x", "U "))).Build());
  path_ = dir_.File("bare.mdf");
  ASSERT_TRUE(builder.WriteTo(path_));
  CDatabaseFile file;
  ASSERT_TRUE(file.Open(path_, nullptr));  // object 34 and 99 pages are mapped
  auto catalog = LoadCatalog(file, state_.readOptions(), state_.collationChoice());
  EXPECT_TRUE(catalog->objects.empty());  // the page belongs to an ordinary unit
}

}  // namespace
}  // namespace quill
