// What the text pane shows for a selected object tree item that is neither
// the root nor a table: the definition of a view, procedure, function,
// trigger or default, or the script of a primary key, unique constraint or
// check constraint.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "catalog/catalog_context.h"
#include "catalog/module_text.h"
#include "common/output_line.h"
#include "common/progress_sink.h"

namespace quill {

// The selected item: its text, its parent's and grandparent's texts, and
// its item data.
struct SelectedTreeItem {
  std::string text;
  std::string parentText;
  std::string grandparentText;
  uint64_t itemData = 0;
};

// Under "PrimaryKey" and "Unique" the key scripts (key_scripts.h). Any
// other item is resolved by its name as a non-table object; for a module,
// key or constraint the definition is read through `moduleValues`
// (module_text.h), and under "Constraint" it is wrapped in the check
// constraint script with the table item's text. Nothing (std::nullopt) when
// the name resolves to no such object: the pane then keeps what it shows.
std::optional<std::string> SelectedObjectText(const CatalogContext& context,
                                              ModuleValueCache& moduleValues,
                                              const SelectedTreeItem& item,
                                              const OutputLine& output, ProgressSink& progress);

}  // namespace quill
