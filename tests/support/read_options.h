// The options the tests read a loaded catalog's tables with: the state's
// options with the catalog layout and database collation the load found.
#pragma once

#include "catalog/system_catalog.h"
#include "scan/application_state.h"
#include "values/read_options.h"

namespace quill::testing {

inline ReadOptions OptionsFor(const ApplicationState& state, const SystemCatalog& catalog) {
  ReadOptions options = state.readOptions();
  options.parse.isSql2000 = catalog.isSql2000;
  options.decode.collationFound = catalog.boot && catalog.boot->collationFound;
  return options;
}

}  // namespace quill::testing
