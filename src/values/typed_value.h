// The lossless, typed form of one stored value, for writers that carry
// values out of the program (exports) rather than show them: exact integers
// and decimals, floats that round-trip, dates at their full stored
// precision, binary values as their bytes. Display texts (value_text.h)
// round, abbreviate and hex-encode; these never do.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "schema/column_descriptor.h"

namespace quill {

enum class ValueKind : uint8_t {
  kNull,
  kInteger,         // integer: bigint, int, smallint, tinyint
  kBoolean,         // integer 0 or 1: bit
  kDecimal,         // text: exact digits with "." and `scale` decimals (decimal, numeric, money)
  kFloat,           // real: float; `single` for real (4-byte) values
  kText,            // text: UTF-8 (char, varchar, text, nchar, nvarchar, ntext)
  kBinary,          // text: the raw bytes (binary, varbinary, image, timestamp, CLR types)
  kDate,            // text: "YYYY-MM-DD"
  kTime,            // text: "HH:MM:SS[.f...]" with `scale` digits
  kDateTime,        // text: "YYYY-MM-DDTHH:MM:SS[.f...]" (datetime: 3 digits; datetime2: scale)
  kDateTimeOffset,  // text: "YYYY-MM-DDTHH:MM:SS[.f...]+hh:mm"
  kGuid,            // text: "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" (upper case)
  kXml,             // text: the document as UTF-8
  kVariant,         // text: sql_variant as its text
};

// One cell. The text buffer is reused from row to row by the row readers,
// so a cell costs no allocation once the buffers have grown.
struct TypedValue {
  ValueKind kind = ValueKind::kNull;
  bool single = false;  // kFloat: stored as a 4-byte real
  int32_t scale = 0;    // kDecimal, kTime, kDateTime, kDateTimeOffset: fraction digits
  int64_t integer = 0;
  double real = 0;
  std::string text;

  bool isNull() const { return kind == ValueKind::kNull; }
  void SetNull() {
    kind = ValueKind::kNull;
    text.clear();
  }
};

// Fills `out` from one value of `column` decoded as internal type `code`.
// `raw` are the stored bytes the display decoder was handed for the value
// (a fixed column's span runs to the end of the fixed part; only what the
// type needs is read); `has_raw` says whether there were any (large values
// are read by the caller and arrive as `display_text` only). `display_text`
// is the record list's text of the same value: character data, xml and
// sql_variant are taken from it as they are already lossless, binary large
// values are taken from its hex digits. A value whose bytes do not decode
// gives NULL (character data: the empty text).
void DecodeTypedValue(const ColumnDescriptor& column, int32_t code, std::span<const uint8_t> raw, bool has_raw,
                      const std::string& display_text, TypedValue& out);

// The same, taking the display text of character data instead of copying
// it: for a text cell (kText) the cell's text and `display_text` are
// swapped, so `display_text` is left with the cell's former buffer; for
// any other cell `display_text` is left as it was.
void DecodeTypedValue(const ColumnDescriptor& column, int32_t code, std::span<const uint8_t> raw, bool has_raw,
                      std::string&& display_text, TypedValue& out);

// The typed form of the value older records stand for in a column added
// later: column.addedColumnVariant (a sql_variant) read as the column's
// type, its text column.addedColumnValue. NULL when the column has none.
void DecodeTypedAddedValue(const ColumnDescriptor& column, TypedValue& out);

// The shortest text that reads back as the same double (or float when
// `single`): "0.1", "1e+100", "-0", "inf", "nan".
std::string ShortestFloatText(double value, bool single);

}  // namespace quill
