#include "catalog/object_tree.h"

#include <algorithm>

#include "catalog/resolve_object.h"

namespace quill {

namespace {

constexpr char kTablesNode[] = "Tables";
constexpr char kUserTablesNode[] = "User Tables";
constexpr char kSystemTablesNode[] = "System Tables";
constexpr char kProgrammabilityNode[] = "Programmability";
constexpr char kFunctionNode[] = "Function";
constexpr char kStoreProcedureNode[] = "Store Procedure";
constexpr char kViewsNode[] = "Views";
constexpr char kDefaultNode[] = "Default";
constexpr char kTriggersNode[] = "Triggers";
constexpr char kPrimaryKeyNode[] = "PrimaryKey";
constexpr char kConstraintNode[] = "Constraint";
constexpr char kUniqueNode[] = "Unique";
constexpr char kForeignKeyNode[] = "ForeignKey";

TreeItem InsertFirst(TreeControl& tree, TreeItem parent, const std::string& text, uint64_t data) {
  const TreeItem item = tree.InsertItem(parent, text, TreeIcon::Image(0), TreeInsert::kFirst);
  tree.SetItemData(item, data);
  return item;
}

bool IsTable(const std::string& code) { return code == "U " || code == "S "; }

// The category of an object's type code; kNoTreeItem for codes without one.
TreeItem CategoryOf(const ObjectTreeCategories& c, const std::string& code) {
  if (code == "V ") return c.views;
  if (code == "FN" || code == "IF" || code == "TF") return c.function;
  if (code == "P ") return c.storeProcedure;
  if (code == "TR") return c.triggers;
  if (code == "D ") return c.defaults;
  if (code == "U ") return c.userTables;
  if (code == "S ") return c.systemTables;
  return kNoTreeItem;
}

}  // namespace

ObjectTreeCategories BuildObjectTreeSkeleton(TreeControl& tree, const std::string& rootName) {
  ObjectTreeCategories c;
  c.root = InsertFirst(tree, kNoTreeItem, rootName.empty() ? kRepairDatabaseName : rootName, 0);
  c.tables = InsertFirst(tree, c.root, kTablesNode, 0);
  c.userTables = InsertFirst(tree, c.tables, kUserTablesNode, 0);
  c.systemTables = InsertFirst(tree, c.tables, kSystemTablesNode, 0);
  c.programmability = InsertFirst(tree, c.root, kProgrammabilityNode, 0);
  c.function = InsertFirst(tree, c.programmability, kFunctionNode, 0);
  c.storeProcedure = InsertFirst(tree, c.programmability, kStoreProcedureNode, 0);
  c.views = InsertFirst(tree, c.root, kViewsNode, 0);
  c.defaults = InsertFirst(tree, c.programmability, kDefaultNode, 0);
  c.triggers = InsertFirst(tree, c.programmability, kTriggersNode, 0);
  return c;
}

bool BuildObjectTree(TreeControl& tree, const ObjectTreeCategories& categories,
                     const CatalogContext& context, const OutputLine& output,
                     ProgressSink& progress) {
  SystemCatalog& catalog = context.catalog;
  if (catalog.objects.empty()) return false;
  const size_t count = catalog.objects.size();
  progress.ProgressRange(count);
  progress.ProgressPos(0);
  if (output) output(kCreatingTree);

  const StopToken stop = context.stop();
  bool named = false;
  // Objects are taken by index: resolving a table does not change the list,
  // but a reference into it must not outlive a resolution either way.
  for (size_t i = 0; i < count && !stop.stopRequested(); ++i) {
    const ObjectRow object = catalog.objects[i];
    if (object.name.empty()) continue;
    named = true;
    const TreeItem category = CategoryOf(categories, object.typeCode);
    if (category != kNoTreeItem) {
      const TreeItem item = InsertFirst(tree, category, object.name, kObjectItemData);
      if (IsTable(object.typeCode)) {
        InsertFirst(tree, item, kColumnsNode, 0);
        catalog.current.descriptors = ResolveObject(catalog, context.file, context.isSql2000(),
                                                    object.name, object.typeCode,
                                                    context.objectValues, stop);
        if (!catalog.current.descriptors.empty() && !catalog.current.pageList.empty()) {
          tree.SetItemBold(item, true);
        }
      }
    }
    progress.ProgressPos(i);
  }

  tree.SortChildren(categories.storeProcedure);
  tree.SortChildren(categories.function);
  if (output) output(kProcessDone);
  progress.ProgressPos(count);
  // A stop ends the loop early; the answer is still whether the list has a
  // named row, so a stopped scan is not taken for an unusable file.
  if (!named) {
    named = std::any_of(catalog.objects.begin(), catalog.objects.end(),
                        [](const ObjectRow& object) { return !object.name.empty(); });
  }
  return named;
}

std::string ColumnItemText(const ColumnDescriptor& column) {
  std::string text = column.name + "  " + column.typeText;
  if (column.primaryKey) {
    text += "[Primary Key]";
  } else if (column.uniqueConstraint || column.uniqueIndex) {
    text += "[Unique]";
  }
  if (column.foreignKey) {
    text += "  (foreign key) references " + column.referencedTable + "( " +
            column.referencedColumn + ")";
  }
  return text;
}

bool ExpandTableNode(TreeControl& tree, TreeItem tableItem, const std::string& name,
                     const std::string& typeCode, TreeItem columnsItem,
                     const CatalogContext& context) {
  SystemCatalog& catalog = context.catalog;
  catalog.current.tableColumns.clear();
  catalog.current.tableLegacyColumns.clear();
  // A name that resolves to nothing leaves the flag of the previous
  // resolution; it must not add that table's keys here.
  catalog.current.foundFlag = false;
  catalog.current.descriptors =
      ResolveObject(catalog, context.file, context.isSql2000(), name, typeCode, context.objectValues,
                    context.stop());
  if (!catalog.current.foundFlag) return false;
  // Expanded once: afterwards the first child is "ForeignKey".
  if (tree.GetChildItem(tableItem) != columnsItem) return false;

  const TreeItem primary_key = InsertFirst(tree, tableItem, kPrimaryKeyNode, 0);
  const TreeItem constraint = InsertFirst(tree, tableItem, kConstraintNode, 0);
  const TreeItem unique = InsertFirst(tree, tableItem, kUniqueNode, 0);
  const TreeItem foreign_key = InsertFirst(tree, tableItem, kForeignKeyNode, 0);

  const std::vector<ColumnDescriptor>& columns = catalog.current.descriptors;
  for (auto it = columns.rbegin(); it != columns.rend(); ++it) {
    if (!it->name.empty()) InsertFirst(tree, columnsItem, ColumnItemText(*it), 0);
  }

  // SQL Server 2000 key items carry the table's id (the child entries hold
  // the parent's id there) for the key scripts.
  for (const TableChildEntry& child : catalog.current.children) {
    const uint64_t key_data =
        context.isSql2000() ? static_cast<uint64_t>(static_cast<uint32_t>(child.objectId)) : 0;
    if (child.typeCode == "PK") {
      InsertFirst(tree, primary_key, child.name, key_data);
    } else if (child.typeCode == "F ") {
      InsertFirst(tree, foreign_key, child.name, 0);
    } else if (child.typeCode == "C " || child.typeCode == "D ") {
      InsertFirst(tree, constraint, child.name, kObjectItemData);
    } else if (child.typeCode == "UQ") {
      InsertFirst(tree, unique, child.name, key_data);
    }
  }
  return true;
}

}  // namespace quill
