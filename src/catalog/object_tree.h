// The content of the database object tree: the root and its categories,
// one item per object under the category of its type code (tables with a
// "Columns" child), and, the first time a table is selected, its column
// items and its four key nodes with the table's keys and constraints.
//
// Every item is inserted first among its siblings, so siblings show in the
// reverse of their insertion order unless the node is sorted afterwards.
// Every item shows image 0.
#pragma once

#include <cstdint>
#include <string>

#include "catalog/catalog_context.h"
#include "common/output_line.h"
#include "common/progress_sink.h"
#include "records/boot_page.h"
#include "common/tree_control.h"

namespace quill {

inline constexpr char kCreatingTree[] = "Creating Tree.........";
inline constexpr char kProcessDone[] = "Process done.........";
inline constexpr char kColumnsNode[] = "Columns";

// Item data of object items and of "Constraint" items.
inline constexpr uint64_t kObjectItemData = 1;

// The root and the category items.
struct ObjectTreeCategories {
  TreeItem root = kNoTreeItem;
  TreeItem tables = kNoTreeItem;
  TreeItem userTables = kNoTreeItem;
  TreeItem systemTables = kNoTreeItem;
  TreeItem programmability = kNoTreeItem;
  TreeItem function = kNoTreeItem;
  TreeItem storeProcedure = kNoTreeItem;
  TreeItem views = kNoTreeItem;
  TreeItem defaults = kNoTreeItem;
  TreeItem triggers = kNoTreeItem;
};

// Creates the root (`rootName`, or "RepairDataBase" when it is empty) and
// the categories, item data 0, each inserted first: "Tables" with "User
// Tables" and "System Tables", "Programmability" with "Function" and
// "Store Procedure", "Views", then "Default" and "Triggers" under
// "Programmability".
ObjectTreeCategories BuildObjectTreeSkeleton(TreeControl& tree, const std::string& rootName);

// Adds one item (item data 1) per object row with a non-empty name whose
// type code has a category: "V " views; "FN", "IF", "TF" functions; "P "
// procedures; "TR" triggers; "D " defaults; "U " user tables and "S "
// system tables, each table with a "Columns" child. Every table is
// resolved; its item is bold when it has columns and data pages. Sorts the
// procedures and the functions by name. Returns true when some object row
// has a non-empty name, whatever its type; false (and adds nothing) for an
// empty object list. Writes "Creating Tree........." and "Process
// done........." and moves the progress over the object rows.
bool BuildObjectTree(TreeControl& tree, const ObjectTreeCategories& categories,
                     const CatalogContext& context, const OutputLine& output,
                     ProgressSink& progress);

// The text of a column item: name, two spaces, type text, "[Primary Key]"
// or "[Unique]", and for a foreign key "  (foreign key) references T( c)".
std::string ColumnItemText(const ColumnDescriptor& column);

// Resolves the table (leaving it as the catalog's current table for the
// record display) and, when it is found and `tableItem` has not been
// expanded yet (its first child is still `columnsItem`), inserts the key
// nodes (shown "ForeignKey", "Unique", "Constraint", "PrimaryKey",
// "Columns"), the column items in column id order, and one key item per
// child object of the table, shown in the reverse of the child list order.
// Returns true when items were added.
bool ExpandTableNode(TreeControl& tree, TreeItem tableItem, const std::string& name,
                     const std::string& typeCode, TreeItem columnsItem,
                     const CatalogContext& context);

}  // namespace quill
