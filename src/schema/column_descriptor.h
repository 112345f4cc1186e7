// ColumnDescriptor: one column of a resolved table, in the form the record
// layer (compressed expansion), the row builders and the value decoder use.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quill {

struct ColumnDescriptor {
  int16_t declaredLength = 0;  // the number in "type(n)" for the types that carry one
  int32_t columnId = 0;
  std::string name;
  int32_t typeCode = 0;  // internal type code of the value decoder
  std::string typeText;  // type name "(" maximum length ")", e.g. "int(4)"
  // The number in the type text (the column's maximum length in bytes; -1
  // for a max type), read once when the text is set (SetTypeText).
  int32_t maxLength = 0;
  bool nullable = false;
  bool variableLength = false;
  bool sparse = false;
  // The text a column without stored data shows in every row: its stored
  // default or computed definition. (An object summary, resolve_object.h,
  // gives its three texts this way.)
  std::string constantText;
  uint8_t precision = 0;
  uint8_t scale = 0;
  // Position among the stored columns of the record; -99: no stored data.
  int32_t ordinal = 0;
  bool present = false;  // a physical layout was found for the column
  // >= 0: byte offset of a fixed-length value from the record start;
  // < 0: the one's complement of the variable column index.
  int16_t leafOffset = 0;
  int16_t secondOffset = 0;  // SQL Server 2000: syscolumns' stored offset
  int32_t nullBit = -1;      // 1-based position in the null bitmap
  bool primaryKey = false;
  bool uniqueIndex = false;
  bool uniqueConstraint = false;
  bool foreignKey = false;
  bool flagBit3 = false;
  std::string referencedTable;
  std::string referencedColumn;
  std::string identityText;
  uint8_t keyOrderByte = 0;
  int32_t collationId = -1;
  // The text of the value that records written before the column was added
  // stand for: the catalog keeps one when a NOT NULL column was added with
  // a default and the records were not rewritten. Without it those records
  // read NULL.
  std::optional<std::string> addedColumnValue;
  // The stored sql_variant that text was decoded from, for typed cells.
  std::vector<uint8_t> addedColumnVariant;
};

inline constexpr int32_t kNoStoredDataOrdinal = -99;

}  // namespace quill
