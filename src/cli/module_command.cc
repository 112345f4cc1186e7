#include "cli/module_command.h"

#include <fmt/format.h>

#include "catalog/load_catalog.h"
#include "catalog/object_values.h"
#include "cli/info_command.h"
#include "pages/database_file.h"
#include "cli/open_database.h"

namespace quill {

namespace {

const ObjectRow* FindById(const SystemCatalog& catalog, int32_t object_id) {
  for (const ObjectRow& object : catalog.objects) {
    if (object.objectId == object_id) return &object;
  }
  return nullptr;
}

std::string CategoryText(const std::string& code) {
  if (code == "V ") return "Views";
  if (code == "FN" || code == "IF" || code == "TF") return "Function";
  if (code == "P ") return "Store Procedure";
  if (code == "TR") return "Triggers";
  if (code == "D ") return "Default";
  return {};
}

}  // namespace

std::optional<SelectedTreeItem> TreeItemOfObject(const SystemCatalog& catalog, bool isSql2000,
                                                 const std::string& name) {
  const ObjectRow* object = nullptr;
  for (const ObjectRow& row : catalog.objects) {
    if (row.name == name) {
      object = &row;
      break;
    }
  }
  if (object == nullptr) return std::nullopt;
  SelectedTreeItem item;
  item.text = name;
  const std::string& code = object->typeCode;
  const ObjectRow* table = object->parentObjectId > 0 ? FindById(catalog, object->parentObjectId)
                                                      : nullptr;
  const std::string table_name = table != nullptr ? table->name : std::string();
  if (code == "PK" || code == "UQ") {
    item.parentText = code == "PK" ? "PrimaryKey" : "Unique";
    item.grandparentText = table_name;
    item.itemData = isSql2000 ? static_cast<uint32_t>(object->parentObjectId) : 0;
  } else if ((code == "C " || code == "D ") && table != nullptr) {
    item.parentText = "Constraint";
    item.grandparentText = table_name;
    item.itemData = 1;
  } else if (code == "F ") {
    item.parentText = "ForeignKey";
    item.grandparentText = table_name;
  } else {
    item.parentText = CategoryText(code);
    item.itemData = 1;
  }
  return item;
}

int RunModuleCommand(const std::string& path, const std::string& name, ApplicationState& state,
                     ProgressSink& progress, std::ostream& out) {
  ScanContext scan;
  if (!OpenDatabase(path, state, progress, scan) || !scan.catalog) return kExitCannotScan;
  SystemCatalog* catalog = scan.catalog.get();
  const CDatabaseFile& file = *scan.fileSet;

  const std::optional<SelectedTreeItem> item = TreeItemOfObject(*catalog, scan.options.parse.isSql2000, name);
  if (!item) {
    progress.ScanError(fmt::format("no object named \"{}\" in {}", name, path));
    return kExitCannotScan;
  }
  for (const ObjectRow& object : catalog->objects) {
    if (object.name != name) continue;
    if (object.typeCode == "U " || object.typeCode == "S ") {
      progress.ScanError(fmt::format("\"{}\" is a table: its selection shows records, not text", name));
      return kExitCannotScan;
    }
    break;
  }

  NullProgressSink quiet;
  const std::vector<ObjectValueEntry> object_values =
      LoadObjectValues(*catalog, file, scan.options, nullptr, quiet);
  ModuleValueCache module_values;
  const CatalogContext context{*catalog, file, object_values, scan.options};
  const std::optional<std::string> text =
      SelectedObjectText(context, module_values, *item, nullptr, quiet);
  out << text.value_or(std::string()) << '\n';
  return kExitOk;
}

}  // namespace quill
