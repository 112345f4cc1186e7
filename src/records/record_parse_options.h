// What the record layer reads of the run's options while it parses a page,
// taken once per page from the application state.
#pragma once

#include <atomic>
#include <cstdint>

namespace quill {

class CPrimaryRecord;
class PrimaryRecordPage;

// The table whose pages are being read, as far as the record layer needs it:
// the number of its columns bounds the anchor value walk of compressed
// pages, and compressed records are expanded against its columns. The
// catalog registers one in the application state before it reads a table.
class CurrentTableView {
 public:
  virtual ~CurrentTableView() = default;
  virtual int32_t columnCount() const = 0;
  // Turns a row- or page-compressed record into the plain layout against the
  // table's columns, using the anchor values and dictionary of `page`.
  virtual void ExpandCompressedRecord(CPrimaryRecord& record, const PrimaryRecordPage& page) const = 0;
};

struct RecordParseOptions {
  bool showDeletedRecords = false;
  bool showAdvancedDeletedRecords = false;
  bool isSql2000 = false;
  const std::atomic<bool>* abortRequested = nullptr;
  const CurrentTableView* currentTable = nullptr;

  bool aborted() const {
    return abortRequested != nullptr && abortRequested->load(std::memory_order_relaxed);
  }
};

}  // namespace quill
