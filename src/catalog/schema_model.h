// The schema model derived from the catalog rows beside the column
// descriptors: the column pairs of foreign keys, the child objects of a
// table and the stored values of objects.
#pragma once

#include <cstdint>
#include <string>

#include "schema/column_descriptor.h"

namespace quill {

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
