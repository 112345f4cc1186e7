// The bundled demo database: its catalog, the rows of every user table,
// the SharePoint content and the documents command on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>

#include "catalog/load_catalog.h"
#include "cli/rows_command.h"
#include "common/progress_sink.h"
#include "scan/memory_tree.h"
#include "sharepoint/document_list.h"
#include "sharepoint/sharepoint_content.h"
#include "support/run_cli.h"
#include "scan/application_state.h"
#include "support/read_options.h"
#include "catalog/current_table_pages.h"

namespace quill {
namespace {

const std::string kDemo = QUILLSTONE_DEMO_DATABASE;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Split(const std::string& line, char separator = '\t') {
  std::vector<std::string> cells;
  std::string cell;
  std::istringstream in(line);
  while (std::getline(in, cell, separator)) cells.push_back(cell);
  if (!line.empty() && line.back() == separator) cells.emplace_back();
  return cells;
}

class DemoDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(kDemo)) << kDemo;
    state_.collationTable = LoadCollationTable(QUILLSTONE_COLLATION_TABLE);
    file_ = std::make_unique<CDatabaseFile>();
    ASSERT_TRUE(file_->Open(kDemo, nullptr));
    catalog_ = LoadCatalog(*file_, state_.readOptions(), state_.collationChoice());
  }
  std::string Rows(const std::string& table, RecoveryMode mode, int* exit_code) {
    ApplicationState state;
    state.recoveryMode = mode;
    NullProgressSink progress;
    std::ostringstream out;
    *exit_code = RunRowsCommand({kDemo, table, RowsFormat::kTsv, std::nullopt}, state, progress, out);
    return out.str();
  }

  ApplicationState state_;
  std::unique_ptr<CDatabaseFile> file_;
  std::unique_ptr<SystemCatalog> catalog_;
};

TEST_F(DemoDatabaseTest, CatalogHoldsTheContentTablesKeysAndConstraints) {
  EXPECT_FALSE(catalog_->isSql2000);
  ASSERT_TRUE(catalog_->boot);
  EXPECT_EQ(catalog_->boot->collationName, "Latin1_General_CI_AS_KS_WS");
  std::set<std::pair<std::string, std::string>> objects;
  for (const ObjectRow& row : catalog_->objects) objects.insert({row.typeCode, row.name});
  for (const char* table : {"AllSites", "AllWebs", "AllLists", "AllDocs", "AllDocStreams", "DemoTypes",
                            "DemoLargeValues", "DemoOrders", "DemoCompressed"}) {
    EXPECT_TRUE(objects.contains({"U ", table})) << table;
  }
  EXPECT_TRUE(objects.contains({"PK", "AllDocs_PK"}));
  EXPECT_TRUE(objects.contains({"PK", "PK_DemoTypes"}));
  EXPECT_TRUE(objects.contains({"UQ", "UQ_DemoTypes_Code"}));
  EXPECT_TRUE(objects.contains({"F ", "FK_DemoOrders_DemoTypes"}));
}

TEST_F(DemoDatabaseTest, EveryUserTableListsItsRowsInBothModes) {
  // Data rows per table (deleted rows are not shown by default).
  const std::map<std::string, size_t> expected = {
      {"AllSites", 2},   {"AllWebs", 3},   {"AllLists", 6},   {"AllDocs", 90},       {"AllDocStreams", 42},  {"AllDocVersions", 2},
      {"DemoTypes", 4},  {"DemoLargeValues", 2}, {"DemoOrders", 12}, {"DemoCompressed", 3}};
  size_t tables = 0;
  for (const ObjectRow& row : catalog_->objects) {
    if (row.typeCode != "U ") continue;
    ++tables;
    for (RecoveryMode mode : {RecoveryMode::kStandard, RecoveryMode::kAdvanced}) {
      int exit_code = -1;
      const auto lines = Lines(Rows(row.name, mode, &exit_code));
      EXPECT_EQ(exit_code, 0) << row.name;
      ASSERT_TRUE(expected.contains(row.name)) << row.name;
      EXPECT_EQ(lines.size(), expected.at(row.name) + 1) << row.name << " mode " << static_cast<int>(mode);
    }
  }
  EXPECT_EQ(tables, expected.size());
}

TEST_F(DemoDatabaseTest, ValuesOfEveryKindReadBack) {
  int exit_code = -1;
  const auto types = Lines(Rows("DemoTypes", RecoveryMode::kStandard, &exit_code));
  ASSERT_EQ(types.size(), 5u);
  const auto header = Split(types[0]);
  const auto first = Split(types[1]);
  ASSERT_EQ(header.size(), first.size());
  auto cell = [&](const std::vector<std::string>& row, const std::string& column) {
    const auto it = std::find(header.begin(), header.end(), column);
    return it == header.end() ? std::string("?") : row[static_cast<size_t>(it - header.begin())];
  };
  EXPECT_EQ(cell(first, "Big"), "9000000001");
  EXPECT_EQ(cell(first, "Price"), "1234.5679");
  EXPECT_EQ(cell(first, "Amount"), "1234.57");
  EXPECT_EQ(cell(first, "Created"), "2021-03-04 05:06:07");
  EXPECT_EQ(cell(first, "Name"), "\xC3\x84rger & Co");
  EXPECT_EQ(cell(first, "Variant"), "1000");
  EXPECT_EQ(cell(first, "Node"), "0x58");
  EXPECT_EQ(cell(first, "Shape"), "0x00000000010C");
  EXPECT_EQ(cell(first, "Place"), "0xE6100000010C");
  EXPECT_EQ(cell(Split(types[4]), "Name"), "NULL");

  const auto large = Lines(Rows("DemoLargeValues", RecoveryMode::kStandard, &exit_code));
  ASSERT_EQ(large.size(), 3u);
  const auto off_row = Split(large[1]);
  ASSERT_EQ(off_row.size(), 8u);
  EXPECT_EQ(off_row[1], "Text on a text page.");
  EXPECT_EQ(off_row[2], "Ntext auf einer Textseite.");
  EXPECT_EQ(off_row[3].size(), 2u + 2 * 3000);
  EXPECT_GE(off_row[4].size(), 20000u);
  EXPECT_EQ(off_row[7], "<note lang=\"en\">stored off the row</note>");
  EXPECT_EQ(Split(large[2])[7], "<note lang=\"de\">in der Zeile</note>");

  const auto compressed = Lines(Rows("DemoCompressed", RecoveryMode::kStandard, &exit_code));
  ASSERT_EQ(compressed.size(), 4u);
  EXPECT_EQ(Split(compressed[1]), (std::vector<std::string>{"abcdyz", "256", "9"}));

  // Document bytes: Notes.txt (row 112) is its text line repeated to 612 bytes.
  const auto streams = Lines(Rows("AllDocStreams", RecoveryMode::kStandard, &exit_code));
  std::string notes_hex;
  const std::string line = "Sample text for document 112 version 1.\r\n";
  for (size_t i = 0; i < 612; ++i) {
    static const char kHex[] = "0123456789ABCDEF";
    const auto byte = static_cast<uint8_t>(line[i % line.size()]);
    notes_hex += kHex[byte >> 4];
    notes_hex += kHex[byte & 15];
  }
  bool found_notes = false;
  for (const std::string& row : streams) {
    const auto cells = Split(row);
    if (cells.size() >= 4 && cells[0] == "D0000000-0000-4000-8000-000000000112") {
      EXPECT_EQ(cells[3], "0x" + notes_hex);
      found_notes = true;
    }
    if (cells.size() >= 4 && cells[0] == "D0000000-0000-4000-8000-000000000121") {
      EXPECT_EQ(cells[3].size(), 2u + 2 * 402118);  // 51 pieces on text pages
    }
  }
  EXPECT_TRUE(found_notes);
}

TEST_F(DemoDatabaseTest, SharePointContentHasItsWebsListsAndDocuments) {
  MemoryTree tree;
  SharePointContent content;
  std::vector<std::string> lines;
  LoadSharePointContent(*catalog_, *file_, testing::OptionsFor(state_, *catalog_),
                        catalog_->boot->collationName, tree,
                        [&lines](const std::string& line) { lines.push_back(line); }, content);
  EXPECT_EQ(lines, std::vector<std::string>{"Collation Type: Latin1_General_CI_AS_KS_WS"});
  ASSERT_EQ(content.webs.size(), 3u);
  EXPECT_EQ(tree.ChildTexts(content.siteRoot),
            (std::vector<std::string>{"Contoso Intranet", "Projects", "Apollo"}));
  EXPECT_EQ(content.lists.size(), 6u);
  EXPECT_EQ(tree.ChildTexts(content.webs[2].siteTreeItem), (std::vector<std::string>{"Tasks", "Design Specs"}));
  EXPECT_EQ(content.documents.size(), 90u);
  // The documents proper (rows 101 to 140; two of them at a second level):
  // files in lists, one of them empty.
  std::set<std::string> documents;
  for (const DocumentEntry& d : content.documents) {
    if (d.type == kDocumentTypeFile && d.listId.size() > 5 && d.id >= "D0000000-0000-4000-8000-000000000101") {
      documents.insert(d.id);
    }
  }
  EXPECT_EQ(documents.size(), 40u);

  // Folder tree: the HR folder shows its three documents.
  TreeItem hr = content.folderRoot;
  for (const char* part : {"Shared Documents", "Policies", "HR"}) hr = tree.FindChild(hr, part);
  std::vector<std::string> names;
  for (uint32_t index : FolderDocumentIndexes(tree, hr)) names.push_back(content.documents.at(index).leafName);
  EXPECT_EQ(names, (std::vector<std::string>{"Leave Policy.docx", "Onboarding Checklist.xlsx",
                                             "\xC3\x9C" "berstunden-Regelung.docx"}));
  // The empty file is a document but no leaf.
  TreeItem q4 = content.folderRoot;
  for (const char* part : {"Shared Documents", "Reports", "2020", "Q4"}) q4 = tree.FindChild(q4, part);
  EXPECT_EQ(tree.ChildTexts(q4), (std::vector<std::string>{"Sales Q4.xlsx", "Notes.txt"}));
}

TEST_F(DemoDatabaseTest, DocumentsCommandPrintsTheDocumentList) {
  std::string out, err;
  ASSERT_EQ(testing::RunCli("documents " + kDemo, out, err), 0) << err;
  const auto lines = Lines(out);
  ASSERT_EQ(lines.size(), 90u);
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "Welcome.docx\tShared Documents\t18342\t2019-03-05 10:02:11\t2019-03-05 10:02:11"),
            lines.end());
  EXPECT_NE(err.find("Collation Type: Latin1_General_CI_AS_KS_WS"), std::string::npos);

  ASSERT_EQ(testing::RunCli("documents " + kDemo +
                                " --mode advanced --folder 'SharePointData/sites/projects/Shared Documents/Minutes'",
                            out, err),
            0);
  EXPECT_EQ(Lines(out).size(), 4u);
  ASSERT_EQ(testing::RunCli("documents " + kDemo + " --folder 'SharePointACTUAL/Projects/Documents'", out, err), 0);
  EXPECT_TRUE(out.empty());  // the list's files sit in its folders
  EXPECT_EQ(testing::RunCli("documents " + kDemo + " --folder 'SharePointData/Nowhere'", out, err), 1);
  EXPECT_NE(err.find("SharePointData/Nowhere"), std::string::npos);
  EXPECT_EQ(testing::RunCli("documents " + kDemo + " --mode sideways", out, err), 2);
}

}  // namespace
}  // namespace quill
