// `quillstone module FILE NAME` through the built tool and its library
// function: definitions, scripts, and names that show no text.
#include "cli/module_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/info_command.h"
#include "support/module_database.h"
#include "support/progress_recorder.h"
#include "support/run_cli.h"
#include "support/temp_dir.h"
#include "scan/application_state.h"

namespace quill {
namespace {

using namespace fixture;

TEST(ModuleCommand, PrintsDefinitionsAndScripts) {
  ::quill::testing::TempDir dir;
  const std::string path = dir.File("shop.mdf");
  ASSERT_TRUE(BuildCatalogDatabase(testing::ShopWithModules(CatalogLayout::kSql2005Plus)).WriteTo(path));
  struct Case {
    std::string name;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"OrderView", std::string(testing::kOrderViewText) + "\n"},
      {"PK_Customers", "ALTER TABLE [dbo].[Customers] ADD PRIMARY KEY ( [Code] , [Id])\n"},
      {"CK_Orders_Qty",
       "ALTER TABLE  [dbo].[Orders] WITH NOCHECK ADD CONSTRAINT[CK_Orders_Qty] CHECK ([Qty]>(0))\n"},
  };
  for (const Case& c : cases) {
    ApplicationState state;
    ::quill::testing::ProgressRecorder progress;
    std::ostringstream out;
    EXPECT_EQ(RunModuleCommand(path, c.name, state, progress, out), kExitOk) << c.name;
    EXPECT_EQ(out.str(), c.expected);
  }
}

TEST(ModuleCommand, UnknownNamesAndTablesAreErrorsNamingThem) {
  ::quill::testing::TempDir dir;
  const std::string path = dir.File("shop.mdf");
  ASSERT_TRUE(BuildCatalogDatabase(testing::ShopWithModules(CatalogLayout::kSql2000)).WriteTo(path));
  std::string out;
  std::string err;
  EXPECT_EQ(::quill::testing::RunCli("module " + path + " NoSuchProc", out, err), 1);
  EXPECT_NE(err.find("NoSuchProc"), std::string::npos);
  EXPECT_EQ(out, "");
  EXPECT_EQ(::quill::testing::RunCli("module " + path + " Orders", out, err), 1);
  EXPECT_NE(err.find("Orders"), std::string::npos);
  EXPECT_EQ(::quill::testing::RunCli("module " + path + " AddOrder", out, err), 0);
  EXPECT_EQ(out, std::string(testing::kAddOrderText) + "\n");
}

}  // namespace
}  // namespace quill
