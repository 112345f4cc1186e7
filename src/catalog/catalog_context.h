// What the object tree and the text of a selected object read from one
// scan: the catalog (whose current table they overwrite), the file set, the
// catalog layout and the stored object values read at the end of the scan.
#pragma once

#include <vector>

#include "catalog/schema_model.h"
#include "catalog/system_catalog.h"
#include "pages/database_file.h"

namespace quill {

struct CatalogContext {
  SystemCatalog& catalog;
  const CDatabaseFile& file;
  bool isSql2000 = false;
  const std::vector<ObjectValueEntry>& objectValues;
};

}  // namespace quill
