// The SharePoint content reader on every real data file. None of them is a
// content database, so each must give an empty model with the two roots,
// and the collation line must name the collation the boot page gives.
// Skips when the folder is absent.
#include <gtest/gtest.h>

#include <filesystem>

#include "catalog/load_catalog.h"
#include "scan/memory_tree.h"
#include "sharepoint/sharepoint_content.h"
#include "support/real_data.h"
#include "scan/application_state.h"
#include "support/read_options.h"

namespace quill {
namespace {

class RealSharePoint : public testing::RealFileTest {};

TEST_P(RealSharePoint, FilesWithoutContentTablesGiveEmptyTrees) {
  ApplicationState state;
  state.collationTable = LoadCollationTable(QUILLSTONE_COLLATION_TABLE);
  CDatabaseFile file;
  ASSERT_TRUE(file.Open(path(), nullptr));
  auto catalog = LoadCatalog(file, state.readOptions(), state.collationChoice());
  const std::string found =
      catalog->boot && catalog->boot->collationFound ? catalog->boot->collationName : std::string();
  const std::string collation = found.empty() ? "Unknown Collation" : found;
  MemoryTree tree;
  SharePointContent content;
  std::vector<std::string> lines;
  LoadSharePointContent(*catalog, file, testing::OptionsFor(state, *catalog), found, tree,
                        [&lines](const std::string& line) { lines.push_back(line); }, content);
  EXPECT_TRUE(content.webs.empty());
  EXPECT_TRUE(content.lists.empty());
  EXPECT_TRUE(content.documents.empty());
  EXPECT_EQ(tree.ChildTexts(kNoTreeItem), (std::vector<std::string>{"SharePointACTUAL", "SharePointData"}));
  EXPECT_EQ(lines, std::vector<std::string>{"Collation Type: " + collation});
}

QUILL_REAL_FILE_TESTS(RealSharePoint, testing::RealFiles());

}  // namespace
}  // namespace quill
