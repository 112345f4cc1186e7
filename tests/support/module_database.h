// A small shop database with modules, keys and constraints in either
// catalog layout, for the tests of module texts, key scripts and the
// object tree; and a loader that opens a built database and reads its
// catalog.
#pragma once

#include <memory>
#include <string>

#include "catalog/system_catalog.h"
#include "catalog_builder.h"
#include "scan/application_state.h"
#include "pages/database_file.h"
#include "support/temp_dir.h"

namespace quill::testing {

// Object ids of the shop.
inline constexpr int32_t kCustomersId = 1001;
inline constexpr int32_t kOrdersId = 1002;
inline constexpr int32_t kEmptyTableId = 1003;
inline constexpr int32_t kPrimaryKeyId = 1010;
inline constexpr int32_t kUniqueId = 1011;
inline constexpr int32_t kForeignKeyId = 1012;

// Texts of its modules.
inline constexpr char kOrderViewText[] =
    "CREATE VIEW OrderView AS\r\nSELECT o.OrderId, c.Name FROM Orders o JOIN Customers c ON c.Id = o.CustomerId";
inline constexpr char kAddOrderText[] =
    "CREATE PROCEDURE AddOrder @c int AS\r\nINSERT INTO Orders (CustomerId, Qty) VALUES (@c, 1)";
inline constexpr char kCheckText[] = "([Qty]>(0))";
inline constexpr char kDefaultText[] = "((1))";
inline constexpr char kTriggerText[] = "CREATE TRIGGER OrdersTrigger ON Orders FOR INSERT AS\r\nRETURN";

// Customers (Id int not null identity, Code nchar(4) not null, Name
// nvarchar(40) null; primary key PK_Customers on (Code, Id) in that key
// order; unique UQ_Customers_Name on Name; one row), Orders (OrderId,
// CustomerId, Qty; one row; with the newer layout foreign key
// FK_Orders_Customers from CustomerId to Customers.Id; check CK_Orders_Qty,
// default DF_Orders_Qty and trigger OrdersTrigger on it), Empty (no rows),
// view OrderView, procedures AddOrder and "b_proc", "a_proc", functions
// "fn_b", "fn_a" and views "a_view", "b_view" (in that row order), and a
// module definition split into chunks of `chunk_units` characters.
fixture::DatabaseDescription ShopWithModules(fixture::CatalogLayout layout, size_t chunk_units = 16);

// A built database opened and its catalog loaded.
class LoadedDatabase {
 public:
  LoadedDatabase(const fixture::DataFileBuilder& builder, const std::string& path);
  SystemCatalog& catalog() { return *catalog_; }
  CDatabaseFile& file() { return *file_; }
  // The options its tables are read with (the catalog layout as loaded).
  const ReadOptions& options() const { return options_; }
  bool isSql2000() const { return options_.parse.isSql2000; }
  // The id of the first object row named `name`; -1 when there is none.
  int32_t ObjectId(const std::string& name) const;

 private:
  ApplicationState state_;
  ReadOptions options_;
  std::unique_ptr<CDatabaseFile> file_;
  std::unique_ptr<SystemCatalog> catalog_;
};

}  // namespace quill::testing
