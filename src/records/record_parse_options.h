// What the record layer reads of the run's options while it parses a page.
// The reader of a page hands it in; the page and its records keep a copy.
#pragma once

#include <vector>

#include "common/stop_token.h"
#include "schema/column_descriptor.h"

namespace quill {

struct RecordParseOptions {
  bool showDeletedRecords = false;
  bool showAdvancedDeletedRecords = false;
  bool isSql2000 = false;
  StopToken stop;
  // The columns of the table whose pages are being read, set by the reader
  // of a table's pages: their number bounds the anchor value walk of
  // compressed pages, and compressed records are expanded against them
  // (descriptor i describes column i). Not owned; null when no table is read.
  const std::vector<ColumnDescriptor>* currentTable = nullptr;

  bool aborted() const { return stop.stopRequested(); }
};

}  // namespace quill
