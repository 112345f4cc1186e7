// Rows of the system base tables, as decoded from their records. Each row
// is a plain value; a field that could not be decoded keeps its default
// (-1 for 32-bit ids and numbers, 255 for 8-bit values, 0 for page ids and
// 64-bit ids). Offsets are into the record's fixed part (the bytes after
// the 4-byte record header); the layouts are in
// catalog/system_table_layouts.h. Names are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pages/page_address.h"

namespace quill {

// sysschobjs (object 34); sysobjects (object 1) in SQL Server 2000 files.
struct ObjectRow {
  int32_t objectId = -1;
  std::string name;
  int32_t schemaId = -1;
  uint8_t nameSpaceClass = 255;
  int32_t status = -1;
  std::string typeCode;  // two characters as stored: "U ", "V ", "P ", "FN", ...
  int32_t parentObjectId = -1;
  uint8_t parentClass = 255;
  int32_t intProperty = -1;
};

// sysallocunits (object 7).
struct AllocUnitRow {
  uint64_t allocUnitId = 0;
  uint8_t type = 255;  // 1 in-row data, 2 large objects, 3 row overflow
  uint64_t ownerId = 0;  // the rowset that owns the unit
  int32_t status = -1;
  uint16_t filegroupId = 0;
  PageAddress firstPage{0, 0};
  PageAddress rootPage{0, 0};
  PageAddress firstIamPage{0, 0};

  // The object id the unit's pages carry in their headers: bits 16..47 of
  // the unit id.
  int32_t pageKey() const { return static_cast<int32_t>(allocUnitId >> 16); }
  // A unit whose row names no page (first, root and first IAM page all 0)
  // has none allocated: the server writes them when the first row comes.
  bool namesNoPage() const {
    return firstPage.pageId == 0 && rootPage.pageId == 0 && firstIamPage.pageId == 0;
  }
};

// sysrowsets (object 5).
struct RowsetRow {
  uint64_t rowsetId = 0;
  uint8_t ownerType = 255;
  int32_t objectId = -1;
  int32_t indexId = -1;
  int32_t partitionNumber = -1;
  int32_t status = -1;
  int16_t filegroupId = -1;
  int64_t rowCount = -1;
};

// syscolpars (objects 41 and 2187).
struct ColumnRow {
  int32_t objectId = -1;
  int16_t number = -1;
  int32_t columnId = -1;
  std::string name;
  uint8_t systemTypeId = 255;
  int32_t userTypeId = -1;
  int16_t maxLength = -1;
  uint8_t precision = 255;
  uint8_t scale = 255;
  int32_t collationId = -1;
  int32_t status = -1;
  int16_t maxInRowLength = -1;
  int32_t xmlCollectionId = -1;
  int32_t defaultObjectId = -1;
  int32_t checkObjectId = -1;
  std::string identityText;  // "identity(seed,increment)" for identity columns
};

// sysscalartypes (object 50).
struct ScalarTypeRow {
  int32_t typeId = -1;
  int32_t schemaId = -1;
  std::string name;
  uint8_t systemTypeId = 255;
  int16_t length = -1;
  uint8_t precision = 255;
  uint8_t scale = 255;
  int32_t collationId = -1;
  int32_t status = -1;
  int32_t furtherValueA = -1;
  int32_t furtherValueB = -1;
};

// sysrscols (object 3): where a column sits in the records of a rowset.
struct RowsetColumnRow {
  uint64_t rowsetId = 0;
  int32_t rowsetColumnId = -1;
  int32_t hobtColumnId = 0;
  int64_t modificationCounter = -1;
  int32_t typeInfo = -1;
  int32_t collationId = -1;  // stored where older notes put a column id
  int16_t orderKey = -1;
  int16_t maxInRowLength = -1;
  int32_t status = -1;
  int32_t offset = -1;  // low 16 bits: the leaf offset
  int32_t nullBit = -1;  // low 16 bits of the stored field
  int16_t bitPosition = -1;
};

// sysseobjvalues (object 9), a row of value class 1: the value a column
// added with a default stands for in the records written before it was
// added, which do not hold the column.
struct AddedColumnValueRow {
  uint8_t valueClass = 1;
  uint64_t rowsetId = 0;
  int64_t rowsetColumnId = -1;
  int32_t valueNumber = 0;
  std::vector<uint8_t> value;  // a sql_variant value
};

// syssingleobjrefs (object 74).
struct ObjectRefRow {
  uint8_t objectClass = 255;
  int32_t dependentId = -1;
  int32_t dependentSubId = -1;
  int32_t independentId = -1;
  int32_t independentSubId = -1;
  int32_t status = -1;
};

// sysidxstats (object 54).
struct IndexRow {
  int32_t objectId = -1;
  int32_t indexId = -1;
  std::string name;
  int32_t status = -1;
  int32_t intProperty = -1;
  uint8_t fillFactor = 255;
  uint8_t indexType = 255;
  uint8_t tinyProperty = 255;
  int32_t dataSpaceId = -1;
  int32_t lobDataSpaceId = -1;
  int64_t rowsetId = -1;
};

// sysiscols (object 55).
struct IndexColumnRow {
  int32_t objectId = -1;
  int32_t indexId = -1;
  int32_t subId = -1;  // position of the column in the index
  int32_t status = -1;
  int32_t intProperty = -1;  // the column id
  uint8_t tinyProperty1 = 255;
  uint8_t tinyProperty2 = 255;
  int32_t spare = 0;
};

// Object 4 (SQL Server 2005 files only).
struct RowsetColumnMapRow {
  uint64_t rowsetId = 0;
  int32_t rowsetColumnId = 0;
  int32_t hobtColumnId = 0;
};

// Object 13 (SQL Server 2005 files only).
struct HobtColumnRow {
  uint64_t hobtId = 0;
  int32_t columnId = 0;
  int16_t leafOffset = 0;
  int16_t nullBit = 0;
  int32_t linkedColumnId = -1;  // filled by object resolution
};

// SQL Server 2000 sysindexes (object 2): the index id 0 or 1 row of a table.
struct LegacyIndexEntry {
  int32_t objectId = -1;
  uint16_t fileId = 0;  // of the page that holds the row
  int16_t indexId = -1;
  int32_t firstPageId = 0;
  int32_t firstIamPageId = 0;
};

// SQL Server 2000 syscolumns (object 3).
struct LegacyColumnRow {
  std::string name;
  int32_t objectId = -1;
  uint8_t systemTypeId = 255;
  uint8_t typeStatus = 255;
  int16_t userTypeId = -1;
  int16_t length = -1;
  uint8_t precision = 255;
  uint8_t scale = 255;
  int16_t columnId = -1;
  int16_t storedOffset = -1;  // >= 0: byte offset in the record; -n: n-th variable column
  uint8_t bitPosition = 255;
  uint8_t reserved = 255;
  int16_t columnStatus = -1;
  int32_t defaultObjectId = -1;
  int32_t domainId = -1;
  int16_t number = -1;
  int16_t columnOrder = -1;
  int32_t spare = 0;
  int16_t columnOffset = -1;
  int32_t collationId = -1;
  uint8_t status = 255;
};

// A SQL Server 2000 table: a sysindexes row of index id 0 or 1 with its
// object's name and its columns.
struct LegacyTable {
  struct Column {
    std::string name;
    std::string text;
    int32_t columnOrder = 0;
    uint8_t typeStatus = 255;
  };
  int32_t objectId = -1;
  std::string name;
  std::string text;
  std::vector<Column> columns;
};

}  // namespace quill
