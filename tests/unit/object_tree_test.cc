// The object tree over fixture databases: the category skeleton, object
// items under their categories with the sorts and the reverse insertion
// order, bold tables, and the expansion of a table into its columns and
// key nodes.
#include "catalog/object_tree.h"

#include <gtest/gtest.h>

#include <sstream>

#include "catalog_builder.h"
#include "scan/memory_tree.h"
#include "support/module_database.h"
#include "support/progress_recorder.h"
#include "support/temp_dir.h"

namespace quill {
namespace {

using namespace fixture;
using testing::LoadedDatabase;
using Texts = std::vector<std::string>;

class ObjectTreeTest : public ::testing::Test {
 protected:
  LoadedDatabase& Load(const DatabaseDescription& description) {
    db_ = std::make_unique<LoadedDatabase>(BuildCatalogDatabase(description), dir_.File("db.mdf"));
    return *db_;
  }
  CatalogContext Context() { return {db_->catalog(), db_->file(), objectValues_, db_->options()}; }
  bool Build() {
    categories_ = BuildObjectTreeSkeleton(tree_, "Shop");
    return BuildObjectTree(tree_, categories_, Context(),
                           [this](const std::string& line) { lines_.push_back(line); }, progress_);
  }
  TreeItem Table(const std::string& name) { return tree_.FindChild(categories_.userTables, name); }
  bool Expand(const std::string& name) {
    const TreeItem table = Table(name);
    return ExpandTableNode(tree_, table, name, "U ", tree_.FindChild(table, kColumnsNode), Context());
  }

  ::quill::testing::TempDir dir_;
  std::unique_ptr<LoadedDatabase> db_;
  std::vector<ObjectValueEntry> objectValues_;
  MemoryTree tree_;
  ObjectTreeCategories categories_;
  Texts lines_;
  ::quill::testing::ProgressRecorder progress_;
};

TEST_F(ObjectTreeTest, SkeletonShowsCategoriesInReverseInsertionOrder) {
  MemoryTree tree;
  const ObjectTreeCategories c = BuildObjectTreeSkeleton(tree, "");
  EXPECT_EQ(tree.ChildTexts(kNoTreeItem), Texts{"RepairDataBase"});
  EXPECT_EQ(tree.ChildTexts(c.root), (Texts{"Views", "Programmability", "Tables"}));
  EXPECT_EQ(tree.ChildTexts(c.tables), (Texts{"System Tables", "User Tables"}));
  EXPECT_EQ(tree.ChildTexts(c.programmability),
            (Texts{"Triggers", "Default", "Store Procedure", "Function"}));
  EXPECT_EQ(tree.GetItemText(c.storeProcedure), "Store Procedure");
  EXPECT_EQ(tree.GetItemData(c.views), 0u);
}

TEST_F(ObjectTreeTest, ObjectsGoUnderTheirCategoriesSortedOrReversed) {
  Load(testing::ShopWithModules(CatalogLayout::kSql2005Plus));
  ASSERT_TRUE(Build());
  // Procedures and functions are sorted; views keep the reverse of their
  // row order (a_view, b_view came after OrderView).
  EXPECT_EQ(tree_.ChildTexts(categories_.storeProcedure), (Texts{"AddOrder", "a_proc", "b_proc"}));
  EXPECT_EQ(tree_.ChildTexts(categories_.function), (Texts{"fn_a", "fn_b"}));
  EXPECT_EQ(tree_.ChildTexts(categories_.views), (Texts{"b_view", "a_view", "OrderView"}));
  EXPECT_EQ(tree_.ChildTexts(categories_.triggers), Texts{"OrdersTrigger"});
  // A default with a parent table is listed under "Default" too.
  EXPECT_EQ(tree_.ChildTexts(categories_.defaults), Texts{"DF_Orders_Qty"});
  EXPECT_EQ(tree_.ChildTexts(categories_.userTables), (Texts{"Empty", "Orders", "Customers"}));
  EXPECT_EQ(tree_.ChildTexts(Table("Orders")), Texts{"Columns"});
  EXPECT_EQ(tree_.GetItemData(Table("Orders")), kObjectItemData);
  // Tables with rows are bold, the table without pages is not.
  EXPECT_TRUE(tree_.Find(Table("Customers"))->bold);
  EXPECT_TRUE(tree_.Find(Table("Orders"))->bold);
  EXPECT_FALSE(tree_.Find(Table("Empty"))->bold);
  EXPECT_EQ(lines_, (Texts{kCreatingTree, kProcessDone}));
  ASSERT_FALSE(progress_.messages.empty());
  EXPECT_EQ(progress_.messages.back().value, db_->catalog().objects.size());
}

TEST_F(ObjectTreeTest, ReturnValueCountsNamedRowsOfAnyType) {
  struct Case {
    std::vector<ObjectRow> objects;
    bool expected;
  };
  ObjectRow nameless = ModuleObject(2001, "", "V ");
  const std::vector<Case> cases = {
      {{}, false},
      {{nameless}, false},
      // Named rows whose codes get no item: the categories alone.
      {{ModuleObject(2002, "PK_x", "PK"), ModuleObject(2003, "FK_x", "F "), nameless}, true},
  };
  // The catalog load names nameless rows, so the rows are set directly.
  Load(DatabaseDescription{});
  for (const Case& c : cases) {
    db_->catalog().objects = c.objects;
    tree_.DeleteAllItems();
    EXPECT_EQ(Build(), c.expected);
    EXPECT_TRUE(tree_.ChildTexts(categories_.views).empty());
    EXPECT_EQ(tree_.ChildTexts(categories_.root).size(), 3u);
  }
}

TEST_F(ObjectTreeTest, ExpandingATableAddsColumnsAndKeyItemsOnce) {
  Load(testing::ShopWithModules(CatalogLayout::kSql2005Plus));
  ASSERT_TRUE(Build());
  ASSERT_TRUE(Expand("Customers"));
  const TreeItem customers = Table("Customers");
  EXPECT_EQ(tree_.ChildTexts(customers),
            (Texts{"ForeignKey", "Unique", "Constraint", "PrimaryKey", "Columns"}));
  EXPECT_EQ(tree_.ChildTexts(tree_.FindChild(customers, kColumnsNode)),
            (Texts{"Id  int(4)[Primary Key]", "Code  nchar(8)[Primary Key]", "Name  nvarchar(80)[Unique]"}));
  EXPECT_EQ(tree_.ChildTexts(tree_.FindChild(customers, "PrimaryKey")), Texts{"PK_Customers"});
  EXPECT_EQ(tree_.ChildTexts(tree_.FindChild(customers, "Unique")), Texts{"UQ_Customers_Name"});
  EXPECT_EQ(tree_.GetItemData(tree_.FindChild(tree_.FindChild(customers, "PrimaryKey"), "PK_Customers")), 0u);
  // A second selection adds nothing but leaves the table resolved.
  EXPECT_FALSE(Expand("Customers"));
  EXPECT_EQ(tree_.ChildTexts(customers).size(), 5u);
  EXPECT_EQ(tree_.ChildTexts(tree_.FindChild(customers, "PrimaryKey")).size(), 1u);
  EXPECT_EQ(db_->catalog().current.object.name, "Customers");

  ASSERT_TRUE(Expand("Orders"));
  const TreeItem orders = Table("Orders");
  EXPECT_EQ(tree_.ChildTexts(tree_.FindChild(orders, kColumnsNode)),
            (Texts{"OrderId  int(4)", "CustomerId  int(4)  (foreign key) references Customers( Id)", "Qty  int(4)"}));
  EXPECT_EQ(tree_.ChildTexts(tree_.FindChild(orders, "ForeignKey")), Texts{"FK_Orders_Customers"});
  // Child rows come check, default, trigger: shown in reverse, no trigger item.
  EXPECT_EQ(tree_.ChildTexts(tree_.FindChild(orders, "Constraint")), (Texts{"DF_Orders_Qty", "CK_Orders_Qty"}));
  EXPECT_EQ(tree_.GetItemData(tree_.FindChild(tree_.FindChild(orders, "Constraint"), "CK_Orders_Qty")),
            kObjectItemData);
}

TEST_F(ObjectTreeTest, Sql2000KeyItemsCarryTheTableId) {
  Load(testing::ShopWithModules(CatalogLayout::kSql2000));
  ASSERT_TRUE(Build());
  ASSERT_TRUE(Expand("Customers"));
  const TreeItem keys = tree_.FindChild(Table("Customers"), "PrimaryKey");
  EXPECT_EQ(tree_.GetItemData(tree_.FindChild(keys, "PK_Customers")),
            static_cast<uint64_t>(testing::kCustomersId));
  const TreeItem unique = tree_.FindChild(Table("Customers"), "Unique");
  EXPECT_EQ(tree_.GetItemData(tree_.FindChild(unique, "UQ_Customers_Name")),
            static_cast<uint64_t>(testing::kCustomersId));
}

TEST_F(ObjectTreeTest, AnUnknownTableAfterAFoundOneAddsNothing) {
  Load(testing::ShopWithModules(CatalogLayout::kSql2005Plus));
  ASSERT_TRUE(Build());
  ASSERT_TRUE(Expand("Orders"));
  // The resolution that finds nothing leaves the previous table's flag.
  MemoryTree tree;
  const TreeItem ghost = tree.InsertItem(kNoTreeItem, "Ghost", TreeIcon::Image(0), TreeInsert::kFirst);
  const TreeItem columns = tree.InsertItem(ghost, kColumnsNode, TreeIcon::Image(0), TreeInsert::kFirst);
  EXPECT_FALSE(ExpandTableNode(tree, ghost, "Ghost", "U ", columns, Context()));
  EXPECT_EQ(tree.ChildTexts(ghost), Texts{"Columns"});
}

TEST(ColumnItemText, KeyAndForeignKeyMarks) {
  ColumnDescriptor c;
  c.name = "a";
  c.typeText = "int(4)";
  EXPECT_EQ(ColumnItemText(c), "a  int(4)");
  c.uniqueIndex = true;
  EXPECT_EQ(ColumnItemText(c), "a  int(4)[Unique]");
  c.primaryKey = true;
  c.foreignKey = true;
  c.referencedTable = "T";
  c.referencedColumn = "id";
  EXPECT_EQ(ColumnItemText(c), "a  int(4)[Primary Key]  (foreign key) references T( id)");
}

}  // namespace
}  // namespace quill
