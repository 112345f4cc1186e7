// Module texts of the real data files: every procedure, view, function and
// trigger the creation script beside a file creates (folders with
// expected/) shows, when selected, the definition the script gives, up to
// white space. Skips when the folder is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "catalog/load_catalog.h"
#include "catalog/object_tree.h"
#include "catalog/object_values.h"
#include "catalog/selected_object_text.h"
#include "cli/module_command.h"
#include "common/text_encoding.h"
#include "scan/memory_tree.h"
#include "support/real_data.h"
#include "scan/application_state.h"
#include "support/read_options.h"

namespace quill {
namespace {

std::string FileWithExtension(const std::filesystem::path& folder, const std::string& wanted) {
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::string ext = entry.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
    if (ext == wanted) return entry.path().string();
  }
  return {};
}

// The script as UTF-8: UTF-16LE with a byte-order mark, else Windows-1252.
std::string ReadScript(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    return Utf16LeToUtf8(std::span<const uint8_t>(bytes).subspan(2));
  }
  if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    return std::string(bytes.begin() + 3, bytes.end());
  }
  return CodePageToUtf8(bytes, 1252);
}

std::string WithoutSpace(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (!std::isspace(c)) out += static_cast<char>(c);
  }
  return out;
}

struct ScriptModule {
  std::string name;
  std::string definition;
};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The module name of a "create proc|procedure|view|function|trigger NAME"
// line (quotes, brackets and a dbo. prefix removed); empty for other lines.
std::string CreatedModuleName(const std::string& line) {
  std::stringstream words(Trimmed(line));
  std::string create;
  std::string kind;
  words >> create >> kind;
  kind = Lower(kind);
  if (Lower(create) != "create" ||
      (kind != "proc" && kind != "procedure" && kind != "view" && kind != "function" && kind != "trigger")) {
    return {};
  }
  std::string rest;
  std::getline(words, rest);
  rest = Trimmed(rest);
  for (const char* prefix : {"dbo.", "[dbo]."}) {
    if (Lower(rest).rfind(prefix, 0) == 0) rest = rest.substr(std::string(prefix).size());
  }
  if (rest.empty()) return {};
  if (rest.front() == '"' || rest.front() == '[') {
    const size_t close = rest.find(rest.front() == '"' ? '"' : ']', 1);
    return close == std::string::npos ? std::string() : rest.substr(1, close - 1);
  }
  return rest.substr(0, rest.find_first_of(" \t("));
}

// Each CREATE PROCEDURE/VIEW/FUNCTION/TRIGGER batch: from its first line
// to the line before the batch's GO.
std::vector<ScriptModule> ScriptModules(const std::string& script) {
  std::vector<ScriptModule> modules;
  std::stringstream lines(script);
  std::string line;
  bool open = false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!open) {
      std::string name = CreatedModuleName(line);
      if (name.empty()) continue;
      modules.push_back({std::move(name), {}});
      open = true;
    }
    if (Lower(Trimmed(line)) == "go") {
      open = false;
      continue;
    }
    modules.back().definition += line + "\n";
  }
  return modules;
}

bool HasCreationScript(const testing::RealFile& file) {
  return std::filesystem::exists(file.folder / "expected") && !FileWithExtension(file.folder, ".sql").empty();
}

// Northwind: 16 views and 7 procedures; pubs: a trigger, a view and four
// procedures.
const std::map<std::string, size_t> kScriptModules = {{"northwind-sql2000", 23}, {"pubs-2008-script", 6}};

class RealScriptModules : public testing::RealFileTest {};

TEST_P(RealScriptModules, ScriptDefinitionsAreTheModuleTexts) {
  size_t checked = 0;
  const std::vector<ScriptModule> modules = ScriptModules(ReadScript(FileWithExtension(folder(), ".sql")));

  ApplicationState state;
  CDatabaseFile file;
  ASSERT_TRUE(file.Open(path(), nullptr));
  auto catalog = LoadCatalog(file, state.readOptions(), state.collationChoice());
  ASSERT_NE(catalog, nullptr);
  NullProgressSink progress;
  const std::vector<ObjectValueEntry> values =
      LoadObjectValues(*catalog, file, testing::OptionsFor(state, *catalog), nullptr, progress);
  ModuleValueCache cache;
  const CatalogContext context{*catalog, file, values, testing::OptionsFor(state, *catalog)};
  for (const ScriptModule& module : modules) {
    SCOPED_TRACE(module.name);
    const std::optional<SelectedTreeItem> item = TreeItemOfObject(*catalog, catalog->isSql2000, module.name);
    ASSERT_TRUE(item.has_value());
    const std::optional<std::string> text = SelectedObjectText(context, cache, *item, nullptr, progress);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(WithoutSpace(*text), WithoutSpace(module.definition));
    ++checked;
  }
  const auto known = kScriptModules.find(name());
  if (known != kScriptModules.end()) {
    EXPECT_GE(checked, known->second);
  }
}

QUILL_REAL_FILE_TESTS(RealScriptModules, testing::RealFiles(HasCreationScript));

// Every file: the tree holds one item per view, procedure, function,
// trigger, default and table; every user table expands, and every key and
// constraint item under it shows a script naming the table.
class RealObjectTree : public testing::RealFileTest {};

TEST_P(RealObjectTree, HoldsEveryObjectAndEveryKeyShowsItsScript) {
  ApplicationState state;
  CDatabaseFile file;
  ASSERT_TRUE(file.Open(path(), nullptr));
  auto catalog = LoadCatalog(file, state.readOptions(), state.collationChoice());
  ASSERT_NE(catalog, nullptr);
  NullProgressSink progress;
  const std::vector<ObjectValueEntry> values =
      LoadObjectValues(*catalog, file, testing::OptionsFor(state, *catalog), nullptr, progress);
  const CatalogContext context{*catalog, file, values, testing::OptionsFor(state, *catalog)};
  MemoryTree tree;
  const ObjectTreeCategories categories = BuildObjectTreeSkeleton(tree, file.databaseName());
  ASSERT_TRUE(BuildObjectTree(tree, categories, context, nullptr, progress));

  std::map<std::string, size_t> counts;
  for (const ObjectRow& object : catalog->objects) ++counts[object.typeCode];
  EXPECT_EQ(tree.Children(categories.userTables).size(), counts["U "]);
  EXPECT_EQ(tree.Children(categories.systemTables).size(), counts["S "]);
  EXPECT_EQ(tree.Children(categories.views).size(), counts["V "]);
  EXPECT_EQ(tree.Children(categories.storeProcedure).size(), counts["P "]);
  EXPECT_EQ(tree.Children(categories.function).size(), counts["FN"] + counts["IF"] + counts["TF"]);
  EXPECT_EQ(tree.Children(categories.triggers).size(), counts["TR"]);

  ModuleValueCache cache;
  size_t keys = 0;
  for (const TreeItem table : tree.Children(categories.userTables)) {
    const std::string name = tree.GetItemText(table);
    ASSERT_TRUE(ExpandTableNode(tree, table, name, "U ", tree.FindChild(table, kColumnsNode), context)) << name;
    for (const char* node : {"PrimaryKey", "Unique", "Constraint"}) {
      for (const TreeItem key : tree.Children(tree.FindChild(table, node))) {
        const SelectedTreeItem item{tree.GetItemText(key), node, name, tree.GetItemData(key)};
        const std::optional<std::string> text = SelectedObjectText(context, cache, item, nullptr, progress);
        ASSERT_TRUE(text.has_value()) << item.text;
        EXPECT_EQ(text->rfind("ALTER TABLE", 0), 0u) << *text;
        EXPECT_NE(text->find(name), std::string::npos) << *text;
        ++keys;
      }
    }
  }
  // One item per key and constraint of a user table.
  std::set<int32_t> user_tables;
  for (const ObjectRow& object : catalog->objects) {
    if (object.typeCode == "U ") user_tables.insert(object.objectId);
  }
  size_t expected_keys = 0;
  for (const ObjectRow& object : catalog->objects) {
    const std::string& code = object.typeCode;
    if ((code == "PK" || code == "UQ" || code == "C " || code == "D ") &&
        user_tables.contains(object.parentObjectId)) {
      ++expected_keys;
    }
  }
  EXPECT_EQ(keys, expected_keys);
}

QUILL_REAL_FILE_TESTS(RealObjectTree, testing::RealFiles());

}  // namespace
}  // namespace quill
