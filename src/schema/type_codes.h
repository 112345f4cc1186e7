// Internal type codes of the value decoder and their mapping from the SQL
// Server system type id (the xtype of sysscalartypes / systypes).
//
// A column descriptor carries one of these codes; the value decoder, the
// row builders and object resolution switch on them. The numbers are part
// of the model (descriptors are compared and stored by them), so they are
// plain integers rather than an enum class.
#pragma once

#include <cstdint>

namespace quill::type_code {

inline constexpr int32_t kBigint = 0;
inline constexpr int32_t kBinary = 1;
inline constexpr int32_t kBit = 2;
inline constexpr int32_t kChar = 3;  // also every system type id the map does not know
inline constexpr int32_t kDatetime = 4;
inline constexpr int32_t kDate = 5;
inline constexpr int32_t kTime = 6;
inline constexpr int32_t kDatetime2 = 7;
inline constexpr int32_t kDatetimeOffset = 8;
inline constexpr int32_t kInt = 9;
inline constexpr int32_t kNchar = 10;
inline constexpr int32_t kNvarchar = 11;  // nvarchar and sysname
inline constexpr int32_t kSmallint = 13;
inline constexpr int32_t kTinyint = 14;
inline constexpr int32_t kUniqueIdentifier = 15;
inline constexpr int32_t kVarbinary = 16;
inline constexpr int32_t kVarchar = 17;
inline constexpr int32_t kSystemType232 = 18;  // system type 232 has no SQL type name
inline constexpr int32_t kNtext = 19;
inline constexpr int32_t kSqlVariant = 20;
inline constexpr int32_t kMoney = 21;
inline constexpr int32_t kFloat = 22;
inline constexpr int32_t kNumeric = 23;
inline constexpr int32_t kDecimal = 24;
inline constexpr int32_t kImage = 25;  // only as object resolution stores system type 34
inline constexpr int32_t kText = 26;
inline constexpr int32_t kSmalldatetime = 27;
inline constexpr int32_t kReal = 28;
inline constexpr int32_t kSmallmoney = 29;
inline constexpr int32_t kTimestamp = 30;
inline constexpr int32_t kHierarchyId = 31;  // CLR type with user type id 128
inline constexpr int32_t kGeometry = 32;     // CLR type with user type id 129
inline constexpr int32_t kClrType = 33;      // hierarchyid, geometry, geography
inline constexpr int32_t kXml = 34;

}  // namespace quill::type_code

namespace quill {

// The internal type code for a SQL Server system type id. Ids the map does
// not list give type_code::kChar. System type 34 (image) maps to kText here;
// object resolution stores it as kImage instead.
int32_t TypeCodeFromSystemType(int32_t systemTypeId);

// The name of a built-in type by its system type id ("int", "nvarchar",
// ...); CLR types are told apart by their user type id (128 hierarchyid,
// 129 geometry, 130 geography). Empty for ids that name no built-in type.
// SQL Server 2000 files keep their types in systypes, which the catalog
// does not read, so their columns are named from this table.
const char* BuiltInTypeName(int32_t systemTypeId, int32_t userTypeId);

}  // namespace quill
