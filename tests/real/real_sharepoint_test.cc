// The SharePoint content reader on every real data file. None of them is a
// content database, so each must give an empty model with the two roots,
// and the collation line must name the collation the boot page gives.
// Skips when the folder is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "catalog/load_catalog.h"
#include "scan/memory_tree.h"
#include "sharepoint/sharepoint_content.h"
#include "scan/application_state.h"
#include "support/read_options.h"

namespace quill {
namespace {

const std::string kRoot = QUILLSTONE_REAL_DATA_DIR;

TEST(RealSharePoint, FilesWithoutContentTablesGiveEmptyTrees) {
  if (!std::filesystem::exists(kRoot)) GTEST_SKIP() << "no real data at " << kRoot;
  size_t files = 0;
  for (const auto& folder : std::filesystem::directory_iterator(kRoot)) {
    if (!folder.is_directory()) continue;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      std::string ext = entry.path().extension().string();
      std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
      if (ext != ".mdf") continue;
      ApplicationState state;
      state.collationTable = LoadCollationTable(QUILLSTONE_COLLATION_TABLE);
      CDatabaseFile file;
      if (!file.Open(entry.path().string(), nullptr)) continue;
      ++files;
      auto catalog = LoadCatalog(file, state.readOptions(), state.collationChoice());
      const std::string found =
          catalog->boot && catalog->boot->collationFound ? catalog->boot->collationName : std::string();
      const std::string collation = found.empty() ? "Unknown Collation" : found;
      MemoryTree tree;
      SharePointContent content;
      std::vector<std::string> lines;
      LoadSharePointContent(*catalog, file, testing::OptionsFor(state, *catalog), found, tree,
                            [&lines](const std::string& line) { lines.push_back(line); }, content);
      const std::string name = entry.path().string();
      EXPECT_TRUE(content.webs.empty()) << name;
      EXPECT_TRUE(content.lists.empty()) << name;
      EXPECT_TRUE(content.documents.empty()) << name;
      EXPECT_EQ(tree.ChildTexts(kNoTreeItem), (std::vector<std::string>{"SharePointACTUAL", "SharePointData"}))
          << name;
      EXPECT_EQ(lines, std::vector<std::string>{"Collation Type: " + collation}) << name;
    }
  }
  EXPECT_GT(files, 0u);
}

}  // namespace
}  // namespace quill
