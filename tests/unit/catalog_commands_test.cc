#include "cli/catalog_commands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "catalog_builder.h"
#include "cli/info_command.h"
#include "record_builder.h"
#include "support/progress_recorder.h"
#include "support/run_cli.h"
#include "support/temp_dir.h"
#include "scan/application_state.h"

namespace quill {
namespace {

using namespace fixture;

std::string WriteShop(const testing::TempDir& dir) {
  DatabaseDescription description;
  TableDescription customers;
  customers.name = "Customers";
  customers.objectId = 1001;
  customers.clustered = true;
  customers.columns = {Column("Id", "int"), Column("Name", "nvarchar", 80)};
  customers.columns[0].nullable = false;
  customers.primaryKey = KeyDescription{"PK_Customers", 1005, {1}, 0};
  customers.rows = {PlainRecordBuilder().Fixed({1, 0, 0, 0}).ColumnCount(2).Nulls({}).Variable(Utf16Le("Ann")).Build()};
  TableDescription orders;
  orders.name = "Orders";
  orders.objectId = 1002;
  orders.columns = {Column("OrderId", "int"), Column("CustomerId", "int")};
  description.tables = {customers, orders};
  description.foreignKeys = {ForeignKeyDescription{"FK_Orders_Customers", 1006, 1002, 1001, {{2, 1}}, 0}};
  description.objects = {ModuleObject(1100, "OrderView", "V ")};
  const std::string path = dir.File("shop.mdf");
  EXPECT_TRUE(BuildCatalogDatabase(description).WriteTo(path));
  return path;
}

TEST(CatalogCommands, ObjectsListsEveryObjectRow) {
  testing::TempDir dir;
  const std::string path = WriteShop(dir);
  ApplicationState state;
  testing::ProgressRecorder progress;
  std::ostringstream out;
  ASSERT_EQ(RunObjectsCommand(path, state, progress, out), kExitOk);
  const std::string text = out.str();
  for (const char* line : {"1001\tU \tCustomers\t0\n", "1002\tU \tOrders\t0\n", "1100\tV \tOrderView\t0\n",
                           "1005\tPK\tPK_Customers\t1001\n", "1006\tF \tFK_Orders_Customers\t1002\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
}

TEST(CatalogCommands, ColumnsDescribesEachColumnAndThePageCount) {
  testing::TempDir dir;
  const std::string path = WriteShop(dir);
  ApplicationState state;
  testing::ProgressRecorder progress;
  std::ostringstream customers;
  ASSERT_EQ(RunColumnsCommand(path, "Customers", state, progress, customers), kExitOk);
  EXPECT_EQ(customers.str(),
            "1\tId\tint(4)\t9\tnot null\t1\t4\t1\tprimary key\n"
            "2\tName\tnvarchar(80)\t11\tnull\t2\t-1\t2\t\n"
            "pages\t1\n");

  std::ostringstream orders;
  ASSERT_EQ(RunColumnsCommand(path, "Orders", state, progress, orders), kExitOk);
  EXPECT_NE(orders.str().find("2\tCustomerId\tint(4)\t9\tnull\t2\t8\t2\tforeign key Customers(Id)\n"),
            std::string::npos)
      << orders.str();

  std::ostringstream unknown;
  EXPECT_EQ(RunColumnsCommand(path, "customers", state, progress, unknown), kExitCannotScan);
  ASSERT_FALSE(progress.Errors().empty());
  EXPECT_NE(progress.Errors().back().find("\"customers\""), std::string::npos);
}

TEST(CatalogCommands, CommandLine) {
  testing::TempDir dir;
  const std::string path = WriteShop(dir);
  std::string out, err;
  EXPECT_EQ(testing::RunCli("objects " + path, out, err), 0);
  EXPECT_NE(out.find("Customers"), std::string::npos);
  EXPECT_EQ(testing::RunCli("columns " + path + " Orders", out, err), 0);
  EXPECT_NE(out.find("OrderId"), std::string::npos);
  EXPECT_EQ(testing::RunCli("columns " + path + " Nope", out, err), 1);
  EXPECT_NE(err.find("Nope"), std::string::npos);
  EXPECT_EQ(testing::RunCli("columns " + path, out, err), 2);
}

}  // namespace
}  // namespace quill
