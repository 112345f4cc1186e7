// Values cut out of a record: one variable-length column value, and the
// values of a sparse column vector.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quill {

struct VarColumnEntry {
  // -1, except in sparse value lists, where it is the sparse column's id.
  int32_t columnId = -1;
  // The value bytes followed by two zero bytes (so that text values end in a
  // zero character), or nothing when the value could not be cut out.
  std::optional<std::vector<uint8_t>> data;
  // Number of value bytes; 0 when there is no data.
  int32_t length = 0;
  // Text of the value, filled by the row builders.
  std::string text;
  // Bit 15 of the value's end offset: the value is a complex column (a
  // large-object root, row-overflow pointer, sparse vector, ...).
  bool complex = false;

  std::span<const uint8_t> bytes() const {
    return data ? std::span<const uint8_t>(data->data(), static_cast<size_t>(length))
                : std::span<const uint8_t>();
  }

  // An entry holding a copy of `value`.
  static VarColumnEntry Copy(std::span<const uint8_t> value, bool complex) {
    VarColumnEntry entry;
    entry.data.emplace(value.size() + 2, 0);
    std::copy(value.begin(), value.end(), entry.data->begin());
    entry.length = static_cast<int32_t>(value.size());
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
