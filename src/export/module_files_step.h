// The stored definitions of views, procedures, functions and triggers as a
// step of a database export: one "<schema>.<name>.sql" file per module in
// the "modules" folder, the definition as stored followed by "GO". The
// text formats carry no modules of their own; the SQL script has every
// module already.
#pragma once

#include <memory>
#include <set>
#include <string>

#include "export/database_export.h"

namespace quill {

inline constexpr char kModulesFolder[] = "modules";

// `names`: the modules to write; empty writes every module with a stored
// definition. No folder is made when there is nothing to write.
std::unique_ptr<DatabaseExportStep> MakeModuleFilesStep(std::set<std::string> names);

}  // namespace quill
