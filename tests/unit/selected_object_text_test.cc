// What selecting a key, constraint or module item shows: the key scripts of
// both catalog layouts, the check constraint script, and module texts by
// the item's name.
#include "catalog/selected_object_text.h"

#include <gtest/gtest.h>

#include "catalog/key_scripts.h"
#include "support/module_database.h"
#include "support/temp_dir.h"

namespace quill {
namespace {

using namespace fixture;
using testing::LoadedDatabase;

class SelectedObjectTextTest : public ::testing::Test {
 protected:
  LoadedDatabase& Load(CatalogLayout layout) {
    db_ = std::make_unique<LoadedDatabase>(BuildCatalogDatabase(testing::ShopWithModules(layout)),
                                           dir_.File("db.mdf"));
    return *db_;
  }
  std::optional<std::string> Show(const SelectedTreeItem& item) {
    const CatalogContext context{db_->catalog(), db_->file(), objectValues_, db_->options()};
    return SelectedObjectText(context, cache_, item, nullptr, progress_);
  }

  ::quill::testing::TempDir dir_;
  std::unique_ptr<LoadedDatabase> db_;
  std::vector<ObjectValueEntry> objectValues_;
  ModuleValueCache cache_;
  NullProgressSink progress_;
};

TEST_F(SelectedObjectTextTest, ModulesAndConstraintsOfBothLayouts) {
  for (CatalogLayout layout : {CatalogLayout::kSql2005Plus, CatalogLayout::kSql2000}) {
    SCOPED_TRACE(layout == CatalogLayout::kSql2000 ? "2000" : "2005+");
    Load(layout);
    cache_.Reset();
    EXPECT_EQ(Show({"OrderView", "Views", "Fixture", 1}), testing::kOrderViewText);
    EXPECT_EQ(Show({"AddOrder", "Store Procedure", "Programmability", 1}), testing::kAddOrderText);
    EXPECT_EQ(Show({"OrdersTrigger", "Triggers", "Programmability", 1}), testing::kTriggerText);
    // A check constraint under its table's "Constraint" node: the script
    // with the table item's name; a default there gets the same script.
    EXPECT_EQ(Show({"CK_Orders_Qty", "Constraint", "Orders", 1}),
              "ALTER TABLE  [dbo].[Orders] WITH NOCHECK ADD CONSTRAINT[CK_Orders_Qty] CHECK ([Qty]>(0))");
    EXPECT_EQ(Show({"DF_Orders_Qty", "Constraint", "Orders", 1}),
              "ALTER TABLE  [dbo].[Orders] WITH NOCHECK ADD CONSTRAINT[DF_Orders_Qty] CHECK ((1))");
    // Tables and unknown names show nothing new.
    EXPECT_EQ(Show({"Orders", "User Tables", "Tables", 1}), std::nullopt);
    EXPECT_EQ(Show({"NoSuchThing", "Views", "Fixture", 1}), std::nullopt);
  }
}

TEST_F(SelectedObjectTextTest, NewerLayoutKeyScriptsNameTheTableAndTheKeyColumnsInKeyOrder) {
  Load(CatalogLayout::kSql2005Plus);
  // The primary key is declared on (Code, Id).
  EXPECT_EQ(Show({"PK_Customers", "PrimaryKey", "Customers", 0}),
            "ALTER TABLE [dbo].[Customers] ADD PRIMARY KEY ( [Code] , [Id])");
  EXPECT_EQ(Show({"UQ_Customers_Name", "Unique", "Customers", 0}),
            "ALTER TABLE[dbo].[Customers] WITH NOCHECK ADD CONSTRAINT[UQ_Customers_Name] UNIQUE "
            "CLUSTERED \r\n(\r\n[ [Name]] DSC\r\n)");
  // A key the catalog does not know keeps the empty template.
  EXPECT_EQ(PrimaryKeyScript(db_->catalog(), false, "PK_Gone", 0), "ALTER TABLE  ADD PRIMARY KEY ( )");
}

TEST_F(SelectedObjectTextTest, Sql2000KeyScriptsTakeColumnsByTypeStatus) {
  Load(CatalogLayout::kSql2000);
  // Id and Code are NOT NULL (type status bit 0); Name is nullable (type
  // status 0), which the unique script takes too.
  const uint64_t customers = testing::kCustomersId;
  EXPECT_EQ(Show({"PK_Customers", "PrimaryKey", "Customers", customers}),
            "ALTER TABLE Customers ADD PRIMARY KEY ( Id , Code)");
  EXPECT_EQ(Show({"UQ_Customers_Name", "Unique", "Customers", customers}),
            "ALTER TABLE[dbo].[Customers] WITH NOCHECK ADD CONSTRAINT[UQ_Customers_Name] UNIQUE "
            "CLUSTERED \r\n(\r\n[ Id , Code , Name] DSC\r\n)");
  // Item data that names no table.
  EXPECT_EQ(Show({"PK_Customers", "PrimaryKey", "Customers", 4242}), "ALTER TABLE  ADD PRIMARY KEY ( )");
}

}  // namespace
}  // namespace quill
