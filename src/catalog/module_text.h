// The definition text of a module (view, procedure, function, trigger,
// default, check constraint): the object's stored value chunks, read once
// from sysobjvalues (syscomments in SQL Server 2000 files) on the first
// request after a scan and kept for later ones, joined in page order.
#pragma once

#include <string>
#include <vector>

#include "catalog/schema_model.h"
#include "catalog/system_catalog.h"
#include "common/output_line.h"
#include "common/progress_sink.h"
#include "pages/database_file.h"
#include "values/read_options.h"

namespace quill {

// The module values of one scan. `loaded` is set once the pages were read
// and gave at least one row; a read that gave none is tried again on the
// next request.
struct ModuleValueCache {
  std::vector<ObjectValueEntry> values;
  bool loaded = false;

  // Called when a new scan starts.
  void Reset() {
    values.clear();
    loaded = false;
  }
};

// Joins the chunks of `objectIdText` (compared exactly) in list order. A
// chunk stored as UTF-16 is appended; a chunk of single-byte text only when
// it differs from the whole text joined so far (such a definition's only
// chunk can be stored twice). Empty chunk texts are passed over.
std::string AssembleModuleText(const std::vector<ObjectValueEntry>& values,
                               const std::string& objectIdText);

// The definition of the object whose id is `objectIdText` (decimal), empty
// when it has none. Empties the current table's column rows; with the
// 2005+ layout installs the sysobjvalues columns, with options.parse.isSql2000 keeps
// the current descriptors (the caller resolves "syscomments" first so that
// its own columns are used) or installs the syscomments columns when there
// are none. Reads the value pages into `cache` when it is not loaded, and
// leaves the descriptor list empty.
std::string ReadModuleText(SystemCatalog& catalog, const CDatabaseFile& file, const ReadOptions& options,
                           ModuleValueCache& cache, const std::string& objectIdText,
                           const OutputLine& output, ProgressSink& progress);

}  // namespace quill
