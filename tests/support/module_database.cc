#include "support/module_database.h"

#include "catalog/load_catalog.h"
#include "object_values_builder.h"
#include "record_builder.h"

namespace quill::testing {

using namespace fixture;

DatabaseDescription ShopWithModules(CatalogLayout layout, size_t chunk_units) {
  DatabaseDescription description;
  description.layout = layout;
  description.boot.versionNumber = layout == CatalogLayout::kSql2000 ? 539 : 706;

  TableDescription customers;
  customers.name = "Customers";
  customers.objectId = kCustomersId;
  customers.clustered = true;
  customers.columns = {Column("Id", "int"), Column("Code", "nchar", 8), Column("Name", "nvarchar", 80)};
  customers.columns[0].nullable = false;
  customers.columns[0].identity = IdentityDescription{1, 1};
  customers.columns[1].nullable = false;
  customers.primaryKey = KeyDescription{"PK_Customers", kPrimaryKeyId, {2, 1}, 0};
  customers.uniqueConstraints = {KeyDescription{"UQ_Customers_Name", kUniqueId, {3}, 0}};
  customers.rows = {PlainRecordBuilder()
                        .Fixed({1, 0, 0, 0, 'A', 0, 'B', 0, 'C', 0, 'D', 0})
                        .ColumnCount(3)
                        .Nulls({})
                        .Variable(Utf16Le("Ann"))
                        .Build()};
  TableDescription orders;
  orders.name = "Orders";
  orders.objectId = kOrdersId;
  orders.columns = {Column("OrderId", "int"), Column("CustomerId", "int"), Column("Qty", "int")};
  orders.rows = {PlainRecordBuilder().Fixed({7, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0}).ColumnCount(3).Nulls({}).Build()};
  TableDescription empty;
  empty.name = "Empty";
  empty.objectId = kEmptyTableId;
  empty.columns = {Column("X", "int")};
  description.tables = {customers, orders, empty};
  if (layout != CatalogLayout::kSql2000) {
    description.foreignKeys = {
        ForeignKeyDescription{"FK_Orders_Customers", kForeignKeyId, kOrdersId, kCustomersId, {{2, 1}}, 0}};
  }

  AddModule(description, ModuleDescription{.name = "OrderView", .typeCode = "V ", .definition = kOrderViewText,
                             .chunkUnits = chunk_units});
  AddModule(description, ModuleDescription{.name = "AddOrder", .typeCode = "P ", .definition = kAddOrderText,
                             .chunkUnits = chunk_units});
  AddModule(description, ModuleDescription{.name = "CK_Orders_Qty", .typeCode = "C ", .definition = kCheckText,
                             .parentObjectId = kOrdersId});
  AddModule(description, ModuleDescription{.name = "DF_Orders_Qty", .typeCode = "D ", .definition = kDefaultText,
                             .parentObjectId = kOrdersId});
  AddModule(description, ModuleDescription{.name = "OrdersTrigger", .typeCode = "TR", .definition = kTriggerText,
                             .parentObjectId = kOrdersId, .chunkUnits = chunk_units});
  AddModule(description, "b_proc", "P ", "CREATE PROCEDURE b_proc AS RETURN");
  AddModule(description, "a_proc", "P ", "CREATE PROCEDURE a_proc AS RETURN");
  AddModule(description, "fn_b", "FN", "CREATE FUNCTION fn_b() RETURNS int AS BEGIN RETURN 2 END");
  AddModule(description, "fn_a", "IF", "CREATE FUNCTION fn_a() RETURNS TABLE AS RETURN SELECT 1 AS a");
  AddModule(description, "a_view", "V ", "CREATE VIEW a_view AS SELECT 1 AS a");
  AddModule(description, "b_view", "V ", "CREATE VIEW b_view AS SELECT 2 AS b");
  return description;
}

LoadedDatabase::LoadedDatabase(const DataFileBuilder& builder, const std::string& path) {
  builder.WriteTo(path);
  file_ = std::make_unique<CDatabaseFile>();
  file_->Open(path, nullptr);
  catalog_ = LoadCatalog(*file_, state_.readOptions(), state_.collationChoice());
  if (!catalog_) catalog_ = std::make_unique<SystemCatalog>();
  options_ = state_.readOptions();
  options_.parse.isSql2000 = catalog_->isSql2000;
}

int32_t LoadedDatabase::ObjectId(const std::string& name) const {
  for (const ObjectRow& object : catalog_->objects) {
    if (object.name == name) return object.objectId;
  }
  return -1;
}

}  // namespace quill::testing
