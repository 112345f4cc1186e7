// What the object tree and the text of a selected object read from one
// scan: the catalog (whose current table they overwrite), the file set, the
// stored object values read at the end of the scan and the run's options.
#pragma once

#include <vector>

#include "catalog/schema_model.h"
#include "catalog/system_catalog.h"
#include "pages/database_file.h"
#include "values/read_options.h"

namespace quill {

struct CatalogContext {
  SystemCatalog& catalog;
  const CDatabaseFile& file;
  const std::vector<ObjectValueEntry>& objectValues;
  // The run's options: the catalog layout (options.parse.isSql2000), the
  // stop request that ends the tree build and the resolutions early, and
  // the decode options of module texts.
  ReadOptions options;

  bool isSql2000() const { return options.parse.isSql2000; }
  StopToken stop() const { return options.stop(); }
};

}  // namespace quill
