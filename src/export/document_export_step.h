// The documents of a SharePoint content database as a step of a database
// export: after the tables, every document's bytes go to the "documents"
// folder beside them, with manifest.csv at its top.
#pragma once

#include <memory>
#include <set>
#include <string>

#include "export/database_export.h"

namespace quill {

inline constexpr char kDocumentsFolder[] = "documents";

struct DocumentExportChoices {
  bool deleted = false;   // also deleted and recycled documents whose bytes survive
  bool versions = false;  // also every stored historical version
  std::set<std::string> onlyPaths;  // when not empty: only these (see DocumentExtractOptions)
  unsigned threads = 1;             // files copied at the same time
};

// A database without an AllDocs table is no content database: the step
// then writes nothing and reports nothing. A document that could not be
// written whole is a failure of the export, named with the manifest.
std::unique_ptr<DatabaseExportStep> MakeDocumentExportStep(const DocumentExportChoices& choices);

}  // namespace quill
