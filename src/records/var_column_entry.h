// Values cut out of a record: one variable-length column value, and the
// values of a sparse column vector. A value is a view into the bytes its
// record was parsed from (the page, or the record's own copy of a forwarded
// row); it stays valid as long as the page that holds the record.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quill {

struct VarColumnEntry {
  // -1, except in sparse value lists, where it is the sparse column's id.
  int32_t columnId = -1;
  // The value bytes; empty when the value could not be cut out (a stored
  // value is never empty: zero-length values are rejected as well).
  std::span<const uint8_t> data;
  // Number of value bytes; 0 when there is no data.
  int32_t length = 0;
  // Bit 15 of the value's end offset: the value is a complex column (a
  // large-object root, row-overflow pointer, sparse vector, ...).
  bool complex = false;

  bool hasData() const { return !data.empty(); }
  std::span<const uint8_t> bytes() const { return data; }

  static VarColumnEntry Of(std::span<const uint8_t> value, bool complex) {
    VarColumnEntry entry;
    entry.data = value;
    entry.length = static_cast<int32_t>(value.size());
    entry.complex = complex;
    return entry;
  }
  static VarColumnEntry Missing(bool complex) {
    VarColumnEntry entry;
    entry.complex = complex;
    return entry;
  }
};

// The values of the table's sparse columns, stored together in one complex
// column (a sparse vector).
struct SparseValueList {
  uint16_t count = 0;
  std::vector<VarColumnEntry> entries;
};

}  // namespace quill
