// `quillstone module FILE NAME`: the text the object tree shows when the
// object NAME is selected: the definition of a view, procedure, function,
// trigger or default, or the script of a key or constraint.
#pragma once

#include <ostream>
#include <string>

#include "catalog/selected_object_text.h"
#include "catalog/system_catalog.h"
#include "scan/application_state.h"
#include "common/progress_sink.h"

namespace quill {

// The tree item of the object NAME as the object tree places it: keys
// under their table's "PrimaryKey" or "Unique" node (with the table's id
// as item data in SQL Server 2000 files), check constraints and defaults
// of a table under its "Constraint" node, foreign keys under "ForeignKey",
// other objects under their category. Nothing when no object row has the
// name.
std::optional<SelectedTreeItem> TreeItemOfObject(const SystemCatalog& catalog, bool isSql2000,
                                                 const std::string& name);

// Prints the text and a line end. An unknown name, or the name of a table
// (whose selection shows records, not text), is an error naming it (exit 1).
int RunModuleCommand(const std::string& path, const std::string& name, ApplicationState& state,
                     ProgressSink& progress, std::ostream& out);

}  // namespace quill
