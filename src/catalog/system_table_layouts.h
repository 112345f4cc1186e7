// Record layouts of the system base tables, as data: where each field sits
// in a record's fixed part (the bytes after the 4-byte record header) or
// which variable-length column holds it, how wide it is and how it is
// stored, and which records yield a row. The catalog decoders read rows
// with these layouts and the fixture writes its records with them. All
// multi-byte values are little-endian.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>

#include "pages/system_objects.h"

namespace quill::system_tables {

enum class FieldKind : uint8_t {
  kUnsigned,     // integer of `width` bytes
  kSigned,       // two's complement integer of `width` bytes, widened with its sign
  kTypeCode,     // two single-byte characters ("U ", "FN", ...)
  kPageAddress,  // 32-bit page id, then 16-bit file id
  // width / 2 UTF-16 units, cut at the first zero unit, trailing white space
  // removed; a field cut short by the end of the fixed part yields the
  // units that are there. Blank-padded when written.
  kPaddedText,
  // 32-bit; all ones means none (-1), otherwise only the low 16 bits count
  // (index key rows carry flags above them).
  kLow16OrNone,
};

struct FixedField {
  std::string_view name;
  uint16_t offset = 0;
  uint16_t width = 0;
  FieldKind kind = FieldKind::kUnsigned;
  // Read only from records of more columns than this (0: any record).
  int16_t onlyAboveColumnCount = 0;
  // The table has no such field; the reader takes the bytes at the offset
  // the newer layout gives it, and a writer leaves them alone.
  bool borrowed = false;
};

enum class VariableKind : uint8_t {
  kName,           // UTF-16 up to the end or the first zero unit
  kIdentityValue,  // seed and increment of an identity column
  kVariantValue,   // a sql_variant value, kept as its bytes
};

struct VariableField {
  std::string_view name;
  uint8_t index = 0;  // among the record's variable-length columns
  VariableKind kind = VariableKind::kName;
};

// Which records yield a row. Fields past the end of a fixed part keep their
// defaults in every case.
enum class KeepRule : uint8_t {
  kEveryRecord,    // with defaults for whatever was not decoded
  kWithFixedPart,  // only records that have a fixed part
  kWhenDecoded,    // only records whose fixed part reaches the minimum length
};

enum class NameRule : uint8_t {
  kNone,
  kStored,  // the name column's text whenever the row is kept, empty without one
  // Only with the fixed fields decoded: the name column's text; without the
  // column `repairPrefix` and a running number, and an empty name
  // "RepairColumn" and the number.
  kStoredOrRepair,
};

inline constexpr uint8_t kNoField = 0xFF;

struct SystemTableLayout {
  std::string_view table;
  int32_t objectId = 0;
  // The fixed fields are decoded only from a non-empty fixed part of at
  // least this many bytes.
  uint16_t minFixedLength = 0;
  KeepRule keep = KeepRule::kEveryRecord;
  // With a field index: a decoded row is kept only when that field lies in
  // [keepLow, keepHigh].
  uint8_t keepField = kNoField;
  int64_t keepLow = 0;
  int64_t keepHigh = 0;
  NameRule nameRule = NameRule::kNone;
  std::string_view repairPrefix{};
  // The column count of the table's records.
  int16_t columnCount = 0;
  std::span<const FixedField> fixed{};
  std::span<const VariableField> variables{};
};

// The end of the last field the table itself has: the fixed part a writer
// produces.
constexpr uint16_t FixedEnd(const SystemTableLayout& layout) {
  uint16_t end = 0;
  for (const FixedField& field : layout.fixed) {
    if (!field.borrowed && field.offset + field.width > end) end = static_cast<uint16_t>(field.offset + field.width);
  }
  return end;
}

// The index of the variable-length column of `kind`, or kNoField.
constexpr uint8_t VariableIndex(const SystemTableLayout& layout, VariableKind kind) {
  for (const VariableField& field : layout.variables) {
    if (field.kind == kind) return field.index;
  }
  return kNoField;
}

using enum FieldKind;
inline constexpr std::array<VariableField, 1> kNameColumn = {{{"name", 0, VariableKind::kName}}};

// sysfiles1: one row per file of the database.
inline constexpr std::array<FixedField, 4> kSysFiles1Fields = {{
    {"status", 0, 4, kSigned},
    {"fileId", 4, 2, kSigned},
    {"logicalName", 6, 256, kPaddedText},
    {"physicalPath", 262, 520, kPaddedText},
}};
inline constexpr SystemTableLayout kSysFiles1Layout{
    .table = "sysfiles1", .objectId = kSysFiles1, .minFixedLength = 520,
    .keep = KeepRule::kEveryRecord, .columnCount = 4, .fixed = kSysFiles1Fields};

// sysschobjs: objects of the 2005 and later catalogs.
inline constexpr std::array<FixedField, 8> kSysSchObjsFields = {{
    {"objectId", 0, 4, kSigned},
    {"schemaId", 4, 4, kSigned},
    {"nameSpaceClass", 8, 1, kUnsigned},
    {"status", 9, 4, kSigned},
    {"typeCode", 13, 2, kTypeCode},
    {"parentObjectId", 15, 4, kSigned},
    {"parentClass", 19, 1, kUnsigned},
    {"intProperty", 20, 4, kSigned},
}};
inline constexpr SystemTableLayout kSysSchObjsLayout{
    .table = "sysschobjs", .objectId = kSysSchObjs, .minFixedLength = 20,
    .keep = KeepRule::kWhenDecoded, .keepField = 0, .keepLow = 1,
    .keepHigh = std::numeric_limits<int32_t>::max(), .nameRule = NameRule::kStoredOrRepair,
    .repairPrefix = "Repairname", .columnCount = 12, .fixed = kSysSchObjsFields,
    .variables = kNameColumn};

// SQL Server 2000 sysobjects: the type at 4 and the parent at 24; the other
// fields of an object row are read where sysschobjs has them.
inline constexpr std::array<FixedField, 8> kSysObjects2000Fields = {{
    {"objectId", 0, 4, kSigned},
    {"schemaId", 4, 4, kSigned, 0, true},
    {"nameSpaceClass", 8, 1, kUnsigned, 0, true},
    {"status", 9, 4, kSigned, 0, true},
    {"typeCode", 4, 2, kTypeCode},
    {"parentObjectId", 24, 4, kSigned},
    {"parentClass", 19, 1, kUnsigned, 0, true},
    {"intProperty", 20, 4, kSigned, 0, true},
}};
inline constexpr SystemTableLayout kSysObjects2000Layout{
    .table = "sysobjects", .objectId = kSysObjects2000, .minFixedLength = 20,
    .keep = KeepRule::kWhenDecoded, .keepField = 0, .keepLow = 1,
    .keepHigh = std::numeric_limits<int32_t>::max(), .nameRule = NameRule::kStoredOrRepair,
    .repairPrefix = "Repairname", .columnCount = 24, .fixed = kSysObjects2000Fields,
    .variables = kNameColumn};

// sysallocunits: allocation units and their first pages.
inline constexpr std::array<FixedField, 8> kSysAllocUnitsFields = {{
    {"allocUnitId", 0, 8, kUnsigned},
    {"type", 8, 1, kUnsigned},
    {"ownerId", 9, 8, kUnsigned},
    {"status", 17, 4, kSigned},
    {"filegroupId", 21, 2, kUnsigned},
    {"firstPage", 23, 6, kPageAddress},
    {"rootPage", 29, 6, kPageAddress},
    {"firstIamPage", 35, 6, kPageAddress},
}};
inline constexpr SystemTableLayout kSysAllocUnitsLayout{
    .table = "sysallocunits", .objectId = kSysAllocUnits, .minFixedLength = 39,
    .keep = KeepRule::kEveryRecord, .columnCount = 12, .fixed = kSysAllocUnitsFields};

// sysrowsets: the rowsets (partitions of heaps and indexes).
inline constexpr std::array<FixedField, 8> kSysRowsetsFields = {{
    {"rowsetId", 0, 8, kUnsigned},
    {"ownerType", 8, 1, kUnsigned},
    {"objectId", 9, 4, kSigned},
    {"indexId", 13, 4, kSigned},
    {"partitionNumber", 17, 4, kSigned},
    {"status", 21, 4, kSigned},
    {"filegroupId", 25, 2, kSigned},
    {"rowCount", 27, 8, kSigned},
}};
inline constexpr SystemTableLayout kSysRowsetsLayout{
    .table = "sysrowsets", .objectId = kSysRowsets, .minFixedLength = 27,
    .keep = KeepRule::kEveryRecord, .columnCount = 18, .fixed = kSysRowsetsFields};

// syscolpars (also object 2187): columns and parameters; an identity
// column's seed and increment are in the second variable-length column.
inline constexpr std::array<FixedField, 14> kSysColParsFields = {{
    {"objectId", 0, 4, kSigned},
    {"number", 4, 2, kSigned},
    {"columnId", 6, 4, kSigned},
    {"systemTypeId", 10, 1, kUnsigned},
    {"userTypeId", 11, 4, kSigned},
    {"maxLength", 15, 2, kSigned},
    {"precision", 17, 1, kUnsigned},
    {"scale", 18, 1, kUnsigned},
    {"collationId", 19, 4, kSigned},
    {"status", 23, 4, kSigned},
    {"maxInRowLength", 27, 2, kSigned},
    {"xmlCollectionId", 29, 4, kSigned},
    {"defaultObjectId", 33, 4, kSigned},
    {"checkObjectId", 37, 4, kSigned},
}};
inline constexpr std::array<VariableField, 2> kSysColParsVariables = {{
    {"name", 0, VariableKind::kName},
    {"identityValue", 1, VariableKind::kIdentityValue},
}};
inline constexpr SystemTableLayout kSysColParsLayout{
    .table = "syscolpars", .objectId = kSysColPars, .minFixedLength = 37,
    .keep = KeepRule::kEveryRecord, .nameRule = NameRule::kStoredOrRepair,
    .repairPrefix = "RepairColumn", .columnCount = 16, .fixed = kSysColParsFields,
    .variables = kSysColParsVariables};

// sysscalartypes: built-in and user-defined types.
inline constexpr std::array<FixedField, 10> kSysScalarTypesFields = {{
    {"typeId", 0, 4, kSigned},
    {"schemaId", 4, 4, kSigned},
    {"systemTypeId", 8, 1, kUnsigned},
    {"length", 9, 2, kSigned},
    {"precision", 11, 1, kUnsigned},
    {"scale", 12, 1, kUnsigned},
    {"collationId", 13, 4, kSigned},
    {"status", 17, 4, kSigned},
    {"furtherValueA", 30, 4, kSigned},
    {"furtherValueB", 34, 4, kSigned},
}};
inline constexpr SystemTableLayout kSysScalarTypesLayout{
    .table = "sysscalartypes", .objectId = kSysScalarTypes, .minFixedLength = 34,
    .keep = KeepRule::kWithFixedPart, .nameRule = NameRule::kStored, .columnCount = 13,
    .fixed = kSysScalarTypesFields, .variables = kNameColumn};

// sysrscols: where each column of a rowset sits in its records.
inline constexpr std::array<FixedField, 12> kSysRsColsFields = {{
    {"rowsetId", 0, 8, kUnsigned},
    {"rowsetColumnId", 8, 4, kSigned},
    {"hobtColumnId", 12, 4, kSigned},
    {"modificationCounter", 16, 8, kSigned},
    {"typeInfo", 24, 4, kSigned},
    {"collationId", 28, 4, kSigned},  // where older notes put a column id
    {"orderKey", 32, 2, kSigned},
    {"maxInRowLength", 34, 2, kSigned},
    {"status", 36, 4, kSigned},
    {"offset", 40, 4, kSigned},  // low 16 bits: the leaf offset
    {"nullBit", 44, 4, kLow16OrNone},
    {"bitPosition", 48, 2, kSigned},
}};
inline constexpr SystemTableLayout kSysRsColsLayout{
    .table = "sysrscols", .objectId = kSysRsCols, .minFixedLength = 48,
    .keep = KeepRule::kEveryRecord, .columnCount = 17, .fixed = kSysRsColsFields};

// sysseobjvalues: values of objects' properties by value class. Class 1
// rows hold the value a column added with a default stands for in records
// written before it was added: id is the rowset, sub-id the rowset column.
inline constexpr uint8_t kAddedColumnValueClass = 1;
inline constexpr std::array<FixedField, 4> kSysSeObjValuesFields = {{
    {"valueClass", 0, 1, kUnsigned},
    {"id", 1, 8, kUnsigned},
    {"subId", 9, 8, kSigned},
    {"valueNumber", 17, 4, kSigned},
}};
inline constexpr std::array<VariableField, 1> kSysSeObjValuesVariables = {{
    {"value", 0, VariableKind::kVariantValue}}};
inline constexpr SystemTableLayout kSysSeObjValuesLayout{
    .table = "sysseobjvalues", .objectId = kSysSeObjValues, .minFixedLength = 21,
    .keep = KeepRule::kWhenDecoded, .keepField = 0, .keepLow = kAddedColumnValueClass,
    .keepHigh = kAddedColumnValueClass, .columnCount = 6, .fixed = kSysSeObjValuesFields,
    .variables = kSysSeObjValuesVariables};

// syssingleobjrefs: references between objects (foreign key columns, ...).
inline constexpr std::array<FixedField, 6> kSysSingleObjRefsFields = {{
    {"objectClass", 0, 1, kUnsigned},
    {"dependentId", 1, 4, kSigned},
    {"dependentSubId", 5, 4, kSigned},
    {"independentId", 9, 4, kSigned},
    {"independentSubId", 13, 4, kSigned},
    {"status", 17, 4, kSigned},
}};
inline constexpr SystemTableLayout kSysSingleObjRefsLayout{
    .table = "syssingleobjrefs", .objectId = kSysSingleObjRefs, .minFixedLength = 0,
    .keep = KeepRule::kWithFixedPart, .columnCount = 6, .fixed = kSysSingleObjRefsFields};

// sysidxstats: indexes and heaps.
inline constexpr std::array<FixedField, 10> kSysIdxStatsFields = {{
    {"objectId", 0, 4, kSigned},
    {"indexId", 4, 4, kSigned},
    {"status", 8, 4, kSigned},
    {"intProperty", 12, 4, kSigned},
    {"fillFactor", 16, 1, kUnsigned},
    {"indexType", 17, 1, kUnsigned},
    {"tinyProperty", 18, 1, kUnsigned},
    {"dataSpaceId", 19, 4, kSigned},
    {"lobDataSpaceId", 23, 4, kSigned},
    {"rowsetId", 27, 8, kSigned},
}};
inline constexpr SystemTableLayout kSysIdxStatsLayout{
    .table = "sysidxstats", .objectId = kSysIdxStats, .minFixedLength = 27,
    .keep = KeepRule::kWithFixedPart, .nameRule = NameRule::kStored, .columnCount = 13,
    .fixed = kSysIdxStatsFields, .variables = kNameColumn};

// sysiscols: the columns of each index.
inline constexpr std::array<FixedField, 7> kSysIsColsFields = {{
    {"objectId", 0, 4, kSigned},
    {"indexId", 4, 4, kSigned},
    {"subId", 8, 4, kSigned},
    {"status", 12, 4, kSigned},
    {"intProperty", 16, 4, kSigned},  // the column id
    {"tinyProperty1", 20, 1, kUnsigned},
    {"tinyProperty2", 21, 1, kUnsigned},
}};
inline constexpr SystemTableLayout kSysIsColsLayout{
    .table = "sysiscols", .objectId = kSysIsCols, .minFixedLength = 21,
    .keep = KeepRule::kEveryRecord, .columnCount = 8, .fixed = kSysIsColsFields};

// Object 4 (SQL Server 2005): rowset columns to heap or B-tree columns.
inline constexpr std::array<FixedField, 3> kSysRowsetColumnMapFields = {{
    {"rowsetId", 0, 8, kUnsigned},
    {"rowsetColumnId", 8, 4, kSigned},
    {"hobtColumnId", 12, 4, kSigned},
}};
inline constexpr SystemTableLayout kSysRowsetColumnMapLayout{
    .table = "sysrowsetcolumns", .objectId = kSysRowsetColumnMap2005, .minFixedLength = 0,
    .keep = KeepRule::kEveryRecord, .columnCount = 3, .fixed = kSysRowsetColumnMapFields};

// Object 13 (SQL Server 2005): where each column sits in the records of a
// heap or B-tree.
inline constexpr std::array<FixedField, 4> kSysHobtColumnsFields = {{
    {"hobtId", 0, 8, kUnsigned},
    {"columnId", 8, 4, kSigned},
    {"leafOffset", 27, 2, kSigned},
    {"nullBit", 33, 2, kSigned},
}};
inline constexpr SystemTableLayout kSysHobtColumnsLayout{
    .table = "syshobtcolumns", .objectId = kSysHobtColumns2005, .minFixedLength = 0,
    .keep = KeepRule::kEveryRecord, .columnCount = 12, .fixed = kSysHobtColumnsFields};

// SQL Server 2000 sysindexes: the first page and first IAM page of a table
// as page id and file id. Only the rows of index id 0 (a heap) or 1 (a
// clustered table) are kept.
inline constexpr std::array<FixedField, 6> kSysIndexes2000Fields = {{
    {"objectId", 0, 4, kSigned},
    {"firstPageId", 8, 4, kSigned},
    {"fileId", 12, 2, kUnsigned},
    {"indexId", 14, 2, kSigned},
    {"firstIamPageId", 64, 4, kSigned},
    {"fileId", 68, 2, kUnsigned},
}};
inline constexpr SystemTableLayout kSysIndexes2000Layout{
    .table = "sysindexes", .objectId = kSysIndexes2000, .minFixedLength = 64,
    .keep = KeepRule::kWhenDecoded, .keepField = 3, .keepLow = 0, .keepHigh = 1,
    .columnCount = 25, .fixed = kSysIndexes2000Fields, .variables = kNameColumn};

// SQL Server 2000 syscolumns. The collation id and status are there only
// in records of more than 20 columns.
inline constexpr std::array<FixedField, 19> kSysColumns2000Fields = {{
    {"objectId", 0, 4, kSigned},
    {"systemTypeId", 4, 1, kUnsigned},
    {"typeStatus", 5, 1, kUnsigned},  // bit 0 set: NOT NULL
    {"userTypeId", 6, 2, kSigned},
    {"length", 8, 2, kSigned},
    {"precision", 10, 1, kUnsigned},
    {"scale", 11, 1, kUnsigned},
    {"columnId", 12, 2, kSigned},
    // >= 0: byte offset of a fixed value; -n: the n-th variable column
    {"storedOffset", 14, 2, kSigned},
    {"bitPosition", 16, 1, kUnsigned},
    {"reserved", 17, 1, kUnsigned},
    {"columnStatus", 18, 2, kSigned},
    {"defaultObjectId", 20, 4, kSigned},
    {"domainId", 24, 4, kSigned},
    {"number", 28, 2, kSigned},
    {"columnOrder", 30, 2, kSigned},
    {"columnOffset", 32, 2, kSigned},
    {"collationId", 34, 4, kSigned, 20},
    {"status", 42, 1, kUnsigned, 20},
}};
inline constexpr SystemTableLayout kSysColumns2000Layout{
    .table = "syscolumns", .objectId = kSysColumns2000, .minFixedLength = 0,
    .keep = KeepRule::kEveryRecord, .nameRule = NameRule::kStoredOrRepair,
    .repairPrefix = "RepairColumn", .columnCount = 24, .fixed = kSysColumns2000Fields,
    .variables = kNameColumn};

// Every layout above, for checks that go over all of them.
inline constexpr std::array<const SystemTableLayout*, 16> kAllLayouts = {
    &kSysFiles1Layout,        &kSysSchObjsLayout,     &kSysObjects2000Layout,
    &kSysAllocUnitsLayout,    &kSysRowsetsLayout,     &kSysColParsLayout,
    &kSysScalarTypesLayout,   &kSysRsColsLayout,      &kSysSingleObjRefsLayout,
    &kSysIdxStatsLayout,      &kSysIsColsLayout,      &kSysRowsetColumnMapLayout,
    &kSysHobtColumnsLayout,      &kSysIndexes2000Layout, &kSysColumns2000Layout,
    &kSysSeObjValuesLayout};

}  // namespace quill::system_tables
