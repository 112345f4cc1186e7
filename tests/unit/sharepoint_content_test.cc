// The SharePoint content model on small content databases: webs, lists and
// documents read from their tables, the site and folder trees, the document
// list of a folder item, and what missing tables, missing columns, garbage
// cells and a stop request leave.
#include "sharepoint/sharepoint_content.h"

#include <gtest/gtest.h>

#include <sstream>

#include "catalog/load_catalog.h"
#include "catalog_builder.h"
#include "scan/memory_tree.h"
#include "sharepoint/document_list.h"
#include "support/read_options.h"
#include "support/temp_dir.h"
#include "table_row_builder.h"
#include "scan/application_state.h"

namespace quill {
namespace {

using namespace fixture;
using Cells = std::vector<std::optional<std::string>>;

const std::vector<std::string> kDocColumns = {"Id", "SiteId", "DirName", "LeafName", "WebId", "ListId",
                                              "Type", "Size", "TimeCreated", "TimeLastModified"};

constexpr char kList1[] = "11000000-0000-4000-8000-000000000001";
constexpr char kList2[] = "11000000-0000-4000-8000-000000000002";
constexpr char kListOrphan[] = "11000000-0000-4000-8000-000000000009";

Cells Doc(std::string id, std::string dir, std::string leaf, std::string web,
          std::optional<std::string> list, std::string type, std::optional<std::string> size) {
  return {id, "S1", dir, leaf, web, list, type, size, "2020-01-02 03:04:05", "2021-05-06 07:08:09"};
}

// Webs W1 "Intranet" and W2 "Projects"; lists L1 and L2 in W1, an orphan
// list whose web does not exist.
std::vector<TableDescription> BaseTables(std::vector<Cells> docs) {
  return {
      TextTable("AllWebs", {"Id", "SiteId", "FullUrl", "Title"},
                {{" W1 ", "S1", "", "Intranet"}, {"W2", "S1", "projects", "Projects"}}),
      TextTable("AllLists", {"tp_WebId", "tp_ID", "tp_Title"},
                {{"W1", kList1, "Documents"}, {"W1 ", kList2, "Pages"}, {"W9", kListOrphan, "Orphan"}}),
      TextTable("AllDocs", kDocColumns, docs),
  };
}

class SharePointContentTest : public ::testing::Test {
 protected:
  void Build(std::vector<TableDescription> tables, std::vector<ObjectRow> objects = {}) {
    DatabaseDescription description;
    description.tables = std::move(tables);
    description.objects = std::move(objects);
    path_ = dir_.File("content.mdf");
    ASSERT_TRUE(BuildCatalogDatabase(description).WriteTo(path_));
  }
  // Loads the content with `tree` (the memory tree when null); `stop_first`
  // raises the stop flag once the catalog is loaded.
  void Load(RecoveryMode mode = RecoveryMode::kStandard, TreeControl* tree = nullptr,
            bool stop_first = false) {
    state_.recoveryMode = mode;
    state_.abortRequested.Clear();
    file_ = std::make_unique<CDatabaseFile>();
    ASSERT_TRUE(file_->Open(path_, nullptr));
    catalog_ = LoadCatalog(*file_, state_.readOptions(), state_.collationChoice());
    if (stop_first) state_.abortRequested.RequestStop();
    lines_.clear();
    LoadSharePointContent(*catalog_, *file_, testing::OptionsFor(state_, *catalog_), CollationName(),
                          tree ? *tree : tree_,
                          [this](const std::string& line) { lines_.push_back(line); }, content_);
  }
  std::string CollationName() const {
    return catalog_->boot && catalog_->boot->collationFound ? catalog_->boot->collationName : std::string();
  }
  std::string TreeText() const {
    std::ostringstream out;
    tree_.Print(out);
    return out.str();
  }
  std::vector<std::string> LeafNames(const std::vector<uint32_t>& indexes) const {
    std::vector<std::string> names;
    for (uint32_t i : indexes) names.push_back(content_.documents.at(i).leafName);
    return names;
  }
  TreeItem Path(std::initializer_list<std::string> texts) const {
    TreeItem item = kNoTreeItem;
    for (const std::string& text : texts) item = tree_.FindChild(item, text);
    return item;
  }

  testing::TempDir dir_;
  std::string path_;
  ApplicationState state_;
  std::unique_ptr<CDatabaseFile> file_;
  std::unique_ptr<SystemCatalog> catalog_;
  MemoryTree tree_;
  SharePointContent content_;
  std::vector<std::string> lines_;
};

TEST_F(SharePointContentTest, BuildsBothTreesFromAllWebsListsAndDocuments) {
  Build(BaseTables({
      Doc("D1", "Shared Documents/Reports", "a.docx", "W1", kList1, "0", "10"),
      Doc("D2", "Shared Documents/Reports", "b.pdf", "W1", kList1, "0", "20"),
      Doc("D3", "Shared Documents/Reports", "a.docx", "W1", kList1, "0", "30"),  // same name again
      Doc("D4", "Shared Documents", "Empty", "W1", kList1, "1", std::nullopt),    // folder only
      Doc("D5", "Shared Documents", "zero.txt", "W1", kList1, "0", "0"),          // size 0
      Doc("D6", "", "default.aspx", "W1", std::nullopt, "0", "3472"),             // no list, no folder
      Doc("D7", "Lists", "web.aspx", "W1", std::nullopt, "0", "99"),              // short ListId
      Doc("D8", "Orphan", "lost.txt", "W9", kListOrphan, "0", "5"),               // list without web
      {std::nullopt, "S1", "x", "dropped.txt", "W1", kList1, "0", "1", "", ""},   // NULL first cell
      Doc(" D9 ", "SitePages", "Home.aspx", "W1", kList2, "0", "4061"),
  }));
  Load();

  ASSERT_EQ(content_.webs.size(), 2u);
  EXPECT_EQ(tree_.expandAllCount(), 2);  // once after each web item
  EXPECT_EQ(content_.webs[0].id, "W1");  // trimmed
  EXPECT_EQ(content_.webs[0].title, "Intranet");
  ASSERT_EQ(content_.lists.size(), 3u);
  EXPECT_EQ(content_.lists[1].webId, "W1");
  EXPECT_NE(content_.lists[1].siteTreeItem, kNoTreeItem);
  EXPECT_EQ(content_.lists[2].siteTreeItem, kNoTreeItem);  // W9 is no web

  ASSERT_EQ(content_.documents.size(), 9u);  // the NULL-first-cell row is dropped
  EXPECT_EQ(content_.documents[8].id, "D9");
  EXPECT_EQ(content_.documents[3].type, kDocumentTypeFolder);
  EXPECT_EQ(content_.documents[3].size, 0);  // NULL size
  EXPECT_EQ(content_.documents[5].listId, "NULL");
  EXPECT_EQ(content_.documents[1].size, 20);
  EXPECT_EQ(content_.documents[1].timeCreated, "2020-01-02 03:04:05");

  EXPECT_EQ(TreeText(),
            "SharePointACTUAL\n"
            "  Intranet\n"
            "    Documents\n"
            "      Shared Documents\n"
            "        Reports\n"
            "          a.docx\n"
            "          b.pdf\n"
            "        Empty\n"
            "    Pages\n"
            "      SitePages\n"
            "        Home.aspx\n"
            "  Projects\n"
            "SharePointData\n"
            "  Shared Documents\n"
            "    Reports\n"
            "      a.docx\n"
            "      b.pdf\n"
            "      a.docx\n"
            "  Lists\n"
            "    web.aspx\n"
            "  Orphan\n"
            "    lost.txt\n"
            "  SitePages\n"
            "    Home.aspx\n");
  EXPECT_EQ(tree_.background(), 0xB0C4DEu);
  EXPECT_EQ(lines_, std::vector<std::string>{"Collation Type: Unknown Collation"});

  // Tags: none on roots and webs, "D" on lists (index 0) and folders (the
  // document that made them), "F" with the index on files.
  EXPECT_FALSE(DecodeTreeItemTag(tree_.GetItemData(content_.siteRoot)));
  EXPECT_FALSE(DecodeTreeItemTag(tree_.GetItemData(content_.webs[0].siteTreeItem)));
  EXPECT_EQ(DecodeTreeItemTag(tree_.GetItemData(content_.lists[0].siteTreeItem)),
            (TreeItemTag{kTagKindFolder, 0}));
  const TreeItem reports = Path({"SharePointACTUAL", "Intranet", "Documents", "Shared Documents", "Reports"});
  EXPECT_EQ(DecodeTreeItemTag(tree_.GetItemData(reports)), (TreeItemTag{kTagKindFolder, 0}));
  EXPECT_EQ(DecodeTreeItemTag(tree_.GetItemData(tree_.FindChild(reports, "b.pdf"))),
            (TreeItemTag{kTagKindFile, 1}));

  // The document list: a folder's direct file items only.
  EXPECT_EQ(LeafNames(FolderDocumentIndexes(tree_, reports)), (std::vector<std::string>{"a.docx", "b.pdf"}));
  EXPECT_TRUE(FolderDocumentIndexes(tree_, content_.lists[0].siteTreeItem).empty());  // files sit deeper
  EXPECT_TRUE(FolderDocumentIndexes(tree_, tree_.FindChild(reports, "b.pdf")).empty());
  EXPECT_TRUE(FolderDocumentIndexes(tree_, content_.folderRoot).empty());
  EXPECT_TRUE(FolderDocumentIndexes(tree_, content_.webs[0].siteTreeItem).empty());
  const TreeItem data_reports = Path({"SharePointData", "Shared Documents", "Reports"});
  EXPECT_EQ(LeafNames(FolderDocumentIndexes(tree_, data_reports)),
            (std::vector<std::string>{"a.docx", "b.pdf", "a.docx"}));
}

TEST_F(SharePointContentTest, WebsTableWinsAndAViewNamedWebsDoesNot) {
  std::vector<TableDescription> tables = BaseTables({});
  tables.push_back(TextTable("Webs", {"Id", "SiteId", "Title"}, {{"W1", "S1", "From Webs"}}));
  Build(tables);
  Load();
  ASSERT_EQ(content_.webs.size(), 1u);
  EXPECT_EQ(content_.webs[0].title, "From Webs");

  // Newer versions: a view Webs over the table AllWebs.
  Build(BaseTables({}), {ModuleObject(4000, "Webs", "V ")});
  Load();
  ASSERT_EQ(content_.webs.size(), 2u);
  EXPECT_EQ(content_.webs[1].title, "Projects");
}

TEST_F(SharePointContentTest, MissingTablesColumnsAndGarbageCells) {
  // No content tables at all: both roots, nothing else.
  Build({TextTable("Other", {"Id"}, {{"1"}})});
  Load();
  EXPECT_TRUE(content_.webs.empty());
  EXPECT_TRUE(content_.lists.empty());
  EXPECT_TRUE(content_.documents.empty());
  EXPECT_EQ(TreeText(), "SharePointACTUAL\nSharePointData\n");

  // AllDocs without Size, WebId and TimeCreated; Type cells that are no
  // numbers; webs without Title.
  tree_.DeleteAllItems();
  Build({TextTable("AllWebs", {"Id", "SiteId"}, {{"W1", "S1"}}),
         TextTable("AllLists", {"tp_WebId", "tp_ID", "tp_Title"}, {{"W1", kList1, "Docs"}}),
         TextTable("AllDocs", {"Id", "DirName", "LeafName", "ListId", "Type"},
                   {{"D1", "Docs", "a.txt", kList1, "abc"}, {"D2", "Docs", "b.txt", kList1, "NULL"},
                    {"D3", "Docs/Sub", "c", kList1, "1"}})});
  Load();
  ASSERT_EQ(content_.webs.size(), 1u);
  EXPECT_EQ(content_.webs[0].title, "");
  ASSERT_EQ(content_.documents.size(), 3u);
  EXPECT_EQ(content_.documents[0].type, 0);
  EXPECT_EQ(content_.documents[0].size, 0);
  EXPECT_EQ(content_.documents[0].webId, "");
  EXPECT_EQ(content_.documents[0].timeCreated, "");
  // No document has the web id "" of the list "W1": none is placed in the
  // site tree; no size, so the folder tree gets folders but no leaves.
  EXPECT_EQ(TreeText(),
            "SharePointACTUAL\n"
            "  \n"
            "    Docs\n"
            "SharePointData\n"
            "  Docs\n"
            "    Sub\n");
}

TEST_F(SharePointContentTest, ReadsEveryRowInBothModes) {
  std::vector<Cells> docs;
  for (int i = 0; i < 1205; ++i) {
    docs.push_back(Doc("D" + std::to_string(i), "Lib", "f" + std::to_string(i), "W1", kList1, "0", "1"));
  }
  Build(BaseTables(docs));
  for (RecoveryMode mode : {RecoveryMode::kStandard, RecoveryMode::kAdvanced}) {
    tree_.DeleteAllItems();
    Load(mode);
    ASSERT_EQ(content_.documents.size(), 1205u) << static_cast<int>(mode);
    EXPECT_EQ(content_.documents.back().leafName, "f1204");
    EXPECT_EQ(tree_.Children(Path({"SharePointData", "Lib"})).size(), 1205u);
    EXPECT_FALSE(state_.tableDisplayActive);
  }
}

// A tree that raises the stop flag when its `stop_at`-th item is inserted.
class StoppingTree final : public TreeControl {
 public:
  StoppingTree(MemoryTree& tree, ApplicationState& state, size_t stop_at)
      : tree_(tree), state_(state), stopAt_(stop_at) {}
  void DeleteAllItems() override { tree_.DeleteAllItems(); }
  TreeItem InsertItem(TreeItem parent, const std::string& text, const TreeIcon& icon, TreeInsert where) override {
    if (++inserted_ == stopAt_) state_.abortRequested.RequestStop();
    return tree_.InsertItem(parent, text, icon, where);
  }
  void SetItemData(TreeItem item, uint64_t data) override { tree_.SetItemData(item, data); }
  uint64_t GetItemData(TreeItem item) const override { return tree_.GetItemData(item); }
  std::string GetItemText(TreeItem item) const override { return tree_.GetItemText(item); }
  void SetItemBold(TreeItem item, bool bold) override { tree_.SetItemBold(item, bold); }
  TreeItem GetChildItem(TreeItem item) const override { return tree_.GetChildItem(item); }
  TreeItem GetNextSiblingItem(TreeItem item) const override { return tree_.GetNextSiblingItem(item); }
  TreeItem GetParentItem(TreeItem item) const override { return tree_.GetParentItem(item); }
  TreeItem GetSelectedItem() const override { return tree_.GetSelectedItem(); }
  void SelectItem(TreeItem item) override { tree_.SelectItem(item); }
  void SortChildren(TreeItem item) override { tree_.SortChildren(item); }
  void SetBackgroundColor(uint32_t rgb) override { tree_.SetBackgroundColor(rgb); }
  void ExpandAllAndShowSelection() override { tree_.ExpandAllAndShowSelection(); }

 private:
  MemoryTree& tree_;
  ApplicationState& state_;
  size_t stopAt_;
  size_t inserted_ = 0;
};

TEST_F(SharePointContentTest, StopRequestKeepsWhatWasBuilt) {
  Build(BaseTables({Doc("D1", "Lib", "a.txt", "W1", kList1, "0", "1")}));
  // Stop while the web items go in: the webs stay, lists and documents are
  // not read.
  StoppingTree tree(tree_, state_, 2);
  Load(RecoveryMode::kStandard, &tree);
  EXPECT_EQ(content_.webs.size(), 2u);
  EXPECT_TRUE(content_.lists.empty());
  EXPECT_TRUE(content_.documents.empty());
  EXPECT_TRUE(lines_.empty());
  EXPECT_EQ(content_.folderRoot, kNoTreeItem);

  // Stopped before anything: no rows at all.
  tree_.DeleteAllItems();
  Load(RecoveryMode::kStandard, nullptr, /*stop_first=*/true);
  EXPECT_TRUE(content_.webs.empty());
  EXPECT_TRUE(content_.documents.empty());
}

TEST(TreeItemTagTest, RoundTripsThroughItemData) {
  EXPECT_FALSE(DecodeTreeItemTag(0));
  for (const TreeItemTag tag : {TreeItemTag{kTagKindFolder, 0}, TreeItemTag{kTagKindFile, 0xFFFFFFFFu},
                                TreeItemTag{kTagKindNew, 7}}) {
    EXPECT_NE(EncodeTreeItemTag(tag), 0u);
    EXPECT_EQ(DecodeTreeItemTag(EncodeTreeItemTag(tag)), tag);
  }
}

TEST(ContentCellTest, DecimalCellsAndTrimming) {
  EXPECT_EQ(ReadDecimalCell("42"), 42);
  EXPECT_EQ(ReadDecimalCell(" -7x"), -7);
  EXPECT_EQ(ReadDecimalCell("NULL"), 0);
  EXPECT_EQ(ReadDecimalCell(""), 0);
  EXPECT_EQ(ReadDecimalCell("99999999999999999999"), 0);
  EXPECT_EQ(ReadDecimalCell("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(TrimWhiteSpace(" \t a b \r\n"), "a b");
  EXPECT_EQ(TrimWhiteSpace("   "), "");
}

}  // namespace
}  // namespace quill
