#include "fuzz_columns.h"

#include <string>

#include "fuzz_support.h"
#include "pages/collation_table.h"
#include "schema/type_codes.h"
#include "schema/type_text.h"

namespace quill::fuzz {
namespace {

const char* TypeName(int32_t code) {
  static const char* const kNames[kLastTypeCode + 1] = {
      "bigint", "binary", "bit", "char", "datetime", "date", "time", "datetime2", "datetimeoffset", "int",
      "nchar", "nvarchar", "unused", "smallint", "tinyint", "uniqueidentifier", "varbinary", "varchar",
      "type232", "ntext", "sql_variant", "money", "float", "numeric", "decimal", "image", "text",
      "smalldatetime", "real", "smallmoney", "timestamp", "hierarchyid", "geometry", "geography", "xml"};
  return code >= 0 && code <= kLastTypeCode ? kNames[code] : "unknown";
}

bool IsVariable(int32_t code) {
  using namespace type_code;
  switch (code) {
    case kNvarchar: case kVarbinary: case kVarchar: case kNtext: case kSqlVariant: case kImage: case kText:
    case kHierarchyId: case kGeometry: case kClrType: case kXml:
      return true;
    default:
      return false;
  }
}

}  // namespace

ColumnDescriptor ColumnOfType(int32_t code, int16_t length, uint8_t precision, uint8_t scale, int32_t collation) {
  ColumnDescriptor column;
  column.typeCode = code;
  column.declaredLength = length;
  SetTypeText(column, std::string(TypeName(code)) + "(" + std::to_string(length) + ")");
  column.variableLength = IsVariable(code);
  column.precision = precision;
  column.scale = scale;
  column.collationId = collation;
  column.nullable = true;
  column.present = true;
  return column;
}

const ValueDecodeOptions& DecodeOptions(bool table_display) {
  static const CollationTable table =
      LoadCollationTable(BesideProgram("collation.txt", QUILLSTONE_SOURCE_DIR "/data/collation.txt"));
  static const ValueDecodeOptions options[2] = {
      {.collationTable = &table, .ansiCodePage = 1252, .collationFound = true, .tableDisplayActive = false},
      {.collationTable = &table, .ansiCodePage = 1252, .collationFound = true, .tableDisplayActive = true}};
  return options[table_display ? 1 : 0];
}

namespace {

// Fixed columns take leaf offsets from 4 in order, variable ones the one's
// complement of their index; null bits count from 1.
std::vector<ColumnDescriptor> Laid(std::vector<ColumnDescriptor> columns) {
  int16_t offset = 4;
  int16_t variable = 0;
  int32_t id = 1;
  for (ColumnDescriptor& c : columns) {
    c.columnId = id;
    c.ordinal = id;
    c.nullBit = id;
    c.name = "c" + std::to_string(id);
    ++id;
    if (c.variableLength) {
      c.leafOffset = static_cast<int16_t>(~variable++);
    } else {
      c.leafOffset = offset;
      offset = static_cast<int16_t>(offset + (c.typeCode == type_code::kBit ? 1 : c.declaredLength));
    }
  }
  return columns;
}

}  // namespace

const std::vector<ColumnDescriptor>* TableColumns(uint8_t which) {
  using namespace type_code;
  static const std::vector<std::vector<ColumnDescriptor>> kTables = {
      Laid({ColumnOfType(kInt, 4, 10, 0, -1), ColumnOfType(kNvarchar, 40, 0, 0, 53256),
            ColumnOfType(kDatetime, 8, 23, 3, -1), ColumnOfType(kDecimal, 9, 18, 2, -1),
            ColumnOfType(kBit, 1, 1, 0, -1), ColumnOfType(kBit, 1, 1, 0, -1),
            ColumnOfType(kVarbinary, -1, 0, 0, -1)}),
      Laid({ColumnOfType(kBigint, 8, 19, 0, -1), ColumnOfType(kMoney, 8, 19, 4, -1),
            ColumnOfType(kSmallint, 2, 5, 0, -1), ColumnOfType(kTinyint, 1, 3, 0, -1),
            ColumnOfType(kReal, 4, 24, 0, -1), ColumnOfType(kFloat, 8, 53, 0, -1),
            ColumnOfType(kUniqueIdentifier, 16, 0, 0, -1), ColumnOfType(kChar, 10, 0, 0, 53256),
            ColumnOfType(kNchar, 20, 0, 0, 53256), ColumnOfType(kVarchar, -1, 0, 0, 53256),
            ColumnOfType(kXml, -1, 0, 0, -1), ColumnOfType(kSqlVariant, 8016, 0, 0, -1)}),
      Laid({ColumnOfType(kDate, 3, 10, 0, -1), ColumnOfType(kTime, 5, 16, 7, -1),
            ColumnOfType(kDatetime2, 8, 27, 7, -1), ColumnOfType(kDatetimeOffset, 10, 34, 7, -1),
            ColumnOfType(kSmalldatetime, 4, 16, 0, -1), ColumnOfType(kSmallmoney, 4, 10, 4, -1),
            ColumnOfType(kNumeric, 17, 38, 10, -1), ColumnOfType(kTimestamp, 8, 0, 0, -1),
            ColumnOfType(kText, 16, 0, 0, 53256), ColumnOfType(kNtext, 16, 0, 0, 53256),
            ColumnOfType(kImage, 16, 0, 0, -1), ColumnOfType(kHierarchyId, 892, 0, 0, -1)}),
  };
  static const std::vector<std::vector<ColumnDescriptor>> kSparse = [] {
    std::vector<std::vector<ColumnDescriptor>> tables = kTables;
    for (auto& table : tables) {
      table.back().sparse = true;
      table.back().leafOffset = 0;
    }
    return tables;
  }();
  if (which == 0) return nullptr;
  const size_t index = (which - 1u) % (2 * kTables.size());
  return index < kTables.size() ? &kTables[index] : &kSparse[index - kTables.size()];
}

}  // namespace quill::fuzz
