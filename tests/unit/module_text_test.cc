// Module definitions read from sysobjvalues (syscomments in SQL Server 2000
// files) over fixture databases of both layouts: chunked definitions, the
// read-once cache, duplicate single-byte chunks, missing pages, and the
// stored values read at the end of a scan.
#include "catalog/module_text.h"

#include <gtest/gtest.h>

#include "catalog/object_values.h"
#include "object_values_builder.h"
#include "page_builder.h"
#include "support/module_database.h"
#include "support/temp_dir.h"

namespace quill {
namespace {

using namespace fixture;
using testing::LoadedDatabase;

class ModuleTextTest : public ::testing::TestWithParam<CatalogLayout> {
 protected:
  std::unique_ptr<LoadedDatabase> Load(const DataFileBuilder& builder) {
    return std::make_unique<LoadedDatabase>(builder, dir_.File("db.mdf"));
  }
  // The module text of `name` with a read counter on the output lines.
  std::string Text(LoadedDatabase& db, const std::string& name) {
    const OutputLine output = [this](const std::string& line) {
      if (line == kRetrievingObjectValues) ++reads_;
    };
    return ReadModuleText(db.catalog(), db.file(), db.options(), cache_,
                          std::to_string(db.ObjectId(name)), output, progress_);
  }

  ::quill::testing::TempDir dir_;
  ModuleValueCache cache_;
  NullProgressSink progress_;
  int reads_ = 0;
};

TEST_P(ModuleTextTest, ChunkedDefinitionsComeOutWholeAndPagesAreReadOnce) {
  // 16-unit chunks: the view's text is spread over several rows.
  auto db = Load(BuildCatalogDatabase(testing::ShopWithModules(GetParam(), 16)));
  EXPECT_EQ(db->isSql2000(), GetParam() == CatalogLayout::kSql2000);
  EXPECT_EQ(Text(*db, "OrderView"), testing::kOrderViewText);
  EXPECT_EQ(Text(*db, "AddOrder"), testing::kAddOrderText);
  EXPECT_EQ(Text(*db, "OrdersTrigger"), testing::kTriggerText);
  EXPECT_EQ(Text(*db, "CK_Orders_Qty"), testing::kCheckText);
  EXPECT_EQ(reads_, 1);
  EXPECT_TRUE(cache_.loaded);
  // Tables have no definition; the descriptor list is left empty.
  EXPECT_EQ(Text(*db, "Orders"), "");
  EXPECT_TRUE(db->catalog().current.descriptors.empty());
  // A new scan reads the pages again.
  cache_.Reset();
  EXPECT_EQ(Text(*db, "OrderView"), testing::kOrderViewText);
  EXPECT_EQ(reads_, 2);
}

TEST_P(ModuleTextTest, WithoutValuePagesTheTextIsEmptyAndEveryRequestReadsAgain) {
  DatabaseDescription description = testing::ShopWithModules(GetParam());
  description.omittedSystemTables = {kSysObjValues, kSysComments2000};
  auto db = Load(BuildCatalogDatabase(description));
  EXPECT_EQ(Text(*db, "OrderView"), "");
  EXPECT_EQ(Text(*db, "OrderView"), "");
  EXPECT_EQ(reads_, 2);
  EXPECT_FALSE(cache_.loaded);
}

TEST_P(ModuleTextTest, AMissingValuePageLosesOnlyItsChunks) {
  DatabaseDescription description;
  description.layout = GetParam();
  description.boot.versionNumber = GetParam() == CatalogLayout::kSql2000 ? 539 : 706;
  // 6000 characters in two 3000-unit chunks: one row per page.
  std::string text;
  for (int i = 0; i < 6000; ++i) text += static_cast<char>('a' + i / 1000);
  AddModule(description, ModuleDescription{.name = "Long", .typeCode = "P ", .definition = text, .chunkUnits = 3000});
  CatalogDatabaseLayout layout;
  DataFileBuilder builder = BuildCatalogDatabase(description, &layout);
  const int32_t table = GetParam() == CatalogLayout::kSql2000 ? kSysComments2000 : kSysObjValues;
  ASSERT_EQ(layout.systemTablePages[table].size(), 2u);
  {
    auto whole = Load(builder);
    EXPECT_EQ(Text(*whole, "Long"), text);
  }
  builder.SetPage(layout.systemTablePages[table][0], PageImage{});
  cache_.Reset();
  auto damaged = Load(builder);
  EXPECT_EQ(Text(*damaged, "Long"), text.substr(3000));
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, ModuleTextTest,
                         ::testing::Values(CatalogLayout::kSql2005Plus, CatalogLayout::kSql2000),
                         [](const auto& info) {
                           return info.param == CatalogLayout::kSql2000 ? "Sql2000" : "Sql2005Plus";
                         });

TEST(AssembleModuleText, SingleByteChunksEqualToTheTextSoFarAreDropped) {
  struct Case {
    std::vector<ObjectValueEntry> values;
    std::string expected;
  };
  const std::string abc = "0x616263";          // "abc" in single bytes
  const std::string abc16 = "0x610062006300";  // "abc" in UTF-16
  const std::vector<Case> cases = {
      // The only chunk stored twice comes out once.
      {{{"5", "0", abc}, {"5", "0", abc}}, "abc"},
      // UTF-16 chunks are always appended.
      {{{"5", "0", abc16}, {"5", "0", abc16}}, "abcabc"},
      // Only the object's own chunks, empty values passed over, ids exact.
      {{{"5", "0", abc16}, {"6", "0", "0x7A00"}, {"5", "1", ""}, {"55", "0", abc16}, {"5", "0", "0x64006500"}},
       "abcde"},
      // A single-byte chunk that differs is appended.
      {{{"5", "0", abc}, {"5", "0", "0x6465"}}, "abcde"},
      {{}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(AssembleModuleText(c.values, "5"), c.expected);
}

TEST(LoadObjectValues, ReadsEveryValueRowAndLeavesNoColumns) {
  ::quill::testing::TempDir dir;
  for (CatalogLayout layout : {CatalogLayout::kSql2005Plus, CatalogLayout::kSql2000}) {
    SCOPED_TRACE(layout == CatalogLayout::kSql2000 ? "2000" : "2005+");
    LoadedDatabase db(BuildCatalogDatabase(testing::ShopWithModules(layout, 1000)), dir.File("v.mdf"));
    std::vector<std::string> lines;
    NullProgressSink progress;
    const std::vector<ObjectValueEntry> values = LoadObjectValues(
        db.catalog(), db.file(), db.options(),
        [&lines](const std::string& line) { lines.push_back(line); }, progress);
    // One row per module (each fits one chunk).
    ASSERT_EQ(values.size(), 11u);
    const std::string view_id = std::to_string(db.ObjectId("OrderView"));
    EXPECT_EQ(values[0].objectId, view_id);
    EXPECT_EQ(values[0].subObjectId, db.isSql2000() ? "1" : "0");
    EXPECT_EQ(values[0].value.substr(0, 6), "0x4300");  // "C" in UTF-16
    EXPECT_EQ(AssembleModuleText(values, view_id), testing::kOrderViewText);
    EXPECT_EQ(lines, (std::vector<std::string>{kRetrievingObjectValues, kRetrievingObjectValuesDone}));
    EXPECT_TRUE(db.catalog().current.descriptors.empty());
  }
}

}  // namespace
}  // namespace quill
