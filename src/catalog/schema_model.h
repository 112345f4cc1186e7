// The schema model derived from the catalog rows: one column of a resolved
// table, the column pairs of foreign keys, the child objects of a table and
// the stored values of objects.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quill {

// One column of the resolved table, in the form the row builders and the
// value decoder use.
struct ColumnDescriptor {
  int16_t declaredLength = 0;  // the number in "type(n)" for the types that carry one
  int32_t columnId = 0;
  std::string name;
  int32_t typeCode = 0;  // internal type code of the value decoder
  std::string typeText;  // type name "(" maximum length ")", e.g. "int(4)"
  bool nullable = false;
  bool variableLength = false;
  bool sparse = false;
  std::string cellText;  // the row's text; the stored default for columns without data
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
};

inline constexpr int32_t kNoStoredDataOrdinal = -99;

// One column pair of a foreign key.
struct ForeignKeyColumnEntry {
  int32_t constraintId = 0;
  int32_t constraintColumnNumber = 0;
  int32_t parentTableId = 0;
  int32_t parentColumnId = 0;
  int32_t referencedTableId = 0;
  int32_t referencedColumnId = 0;
  std::string constraintName;
  std::string parentTableName;
  std::string parentColumnName;
  std::string referencedTableName;
  std::string referencedColumnName;
  int32_t constraintStatus = 0;
};

// An object whose parent is the resolved object (keys, constraints,
// triggers, ...).
struct TableChildEntry {
  bool isPrimaryKey = false;
  bool isForeignKey = false;
  bool isUnique = false;
  std::string name;
  int32_t objectId = 0;  // SQL Server 2000: the parent's id
  std::string typeCode;
};

// A stored value of an object or of one of its columns (sysobjvalues, or
// syscomments in SQL Server 2000 files): ids as decimal text, the value as
// "0x" and two hexadecimal digits per byte.
struct ObjectValueEntry {
  std::string objectId;
  std::string subObjectId;
  std::string value;
};

}  // namespace quill
