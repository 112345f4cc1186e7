// One row of a table as the record list shows it: a display text per column
// of the table. The row refers to the table's columns and does not copy
// them; they must outlive it.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/status.h"
#include "schema/column_descriptor.h"
#include "schema/type_info.h"
#include "values/value_decode_options.h"

namespace quill {

class Row {
 public:
  explicit Row(const std::vector<ColumnDescriptor>& columns) : columns_(&columns), texts_(columns.size()) {}
  // A copy (or a moved row) holds every text made: a text still to be made
  // is made first, as its bytes belong to the page being read, and a text
  // kept in a typed cell is copied.
  Row(const Row& other);
  Row& operator=(const Row& other);
  Row(Row&& other) noexcept;
  Row& operator=(Row&& other) noexcept;

  size_t size() const { return texts_.size(); }
  const ColumnDescriptor& column(size_t i) const { return (*columns_)[i]; }
  const std::string& text(size_t i) const {
    if (waiting_ > 0) {
      const Deferred& deferred = deferred_[i];
      if (deferred.shared != nullptr) return *deferred.shared;
      if (deferred.waiting) MakeText(i);
    }
    return texts_[i];
  }
  const std::vector<std::string>& texts() const {
    MakeAllTexts();
    return texts_;
  }

  // Why the value of column i could not be read whole (a large value node
  // that could not be read, fewer bytes stored than its type reads); null
  // when it was. The text shows what was read. Failures are rare, so they
  // are kept apart from the texts.
  const Status* failure(size_t i) const {
    for (const auto& [column, status] : failures_) {
      if (column == i) return &status;
    }
    return nullptr;
  }
  bool hasFailures() const { return !failures_.empty(); }

  // For the row builders.
  std::string& mutableText(size_t i) { return texts_[i]; }
  void AddFailure(size_t i, Status failure) { failures_.emplace_back(i, std::move(failure)); }
  void ClearFailures() { failures_.clear(); }
  // The text of column i is made from `bytes` as type `info` when it is
  // first asked for. Readers that take typed cells rarely look at the texts
  // of numbers and dates; the bytes must stay valid while the row is read.
  void DeferText(size_t i, std::span<const uint8_t> bytes, const TypeInfo& info,
                 const ValueDecodeOptions& options);
  // The text of column i is `text`, held by the reader's typed cell (the
  // text of character data), which must outlive the row's reading.
  void ShareText(size_t i, const std::string& text);
  // Drops the texts still to be made (the builder starts a new record).
  void ClearDeferred();

 private:
  struct Deferred {
    bool waiting = false;  // the text is made from `bytes` when asked for
    std::span<const uint8_t> bytes;
    TypeInfo info;
    const std::string* shared = nullptr;  // the text is held there
  };
  void MakeText(size_t i) const;
  void MakeAllTexts() const;

  const std::vector<ColumnDescriptor>* columns_;
  // Made on demand by the const readers above: a row is read by one thread
  // at a time.
  mutable std::vector<std::string> texts_;
  mutable std::vector<Deferred> deferred_;
  mutable size_t waiting_ = 0;  // texts waiting or shared
  const ValueDecodeOptions* options_ = nullptr;
  std::vector<std::pair<size_t, Status>> failures_;
};

}  // namespace quill
