#include "schema/type_codes.h"

namespace quill {

int32_t TypeCodeFromSystemType(int32_t systemTypeId) {
  using namespace type_code;
  switch (systemTypeId) {
    case 127: return kBigint;
    case 173: return kBinary;
    case 104: return kBit;
    case 175: return kChar;
    case 61: return kDatetime;
    case 40: return kDate;
    case 41: return kTime;
    case 42: return kDatetime2;
    case 43: return kDatetimeOffset;
    case 56: return kInt;
    case 239: return kNchar;
    case 231: return kNvarchar;
    case 52: return kSmallint;
    case 48: return kTinyint;
    case 36: return kUniqueIdentifier;
    case 165: return kVarbinary;
    case 167: return kVarchar;
    case 232: return kSystemType232;
    case 99: return kNtext;
    case 98: return kSqlVariant;
    case 60: return kMoney;
    case 62: return kFloat;
    case 108: return kNumeric;
    case 106: return kDecimal;
    case 34: return kText;  // image; object resolution overrides this with kImage
    case 35: return kText;
    case 58: return kSmalldatetime;
    case 59: return kReal;
    case 122: return kSmallmoney;
    case 189: return kTimestamp;
    case 240: return kClrType;
    case 241: return kXml;
    default: return kChar;
  }
}

const char* BuiltInTypeName(int32_t systemTypeId, int32_t userTypeId) {
  switch (systemTypeId) {
    case 34: return "image";
    case 35: return "text";
    case 36: return "uniqueidentifier";
    case 40: return "date";
    case 41: return "time";
    case 42: return "datetime2";
    case 43: return "datetimeoffset";
    case 48: return "tinyint";
    case 52: return "smallint";
    case 56: return "int";
    case 58: return "smalldatetime";
    case 59: return "real";
    case 60: return "money";
    case 61: return "datetime";
    case 62: return "float";
    case 98: return "sql_variant";
    case 99: return "ntext";
    case 104: return "bit";
    case 106: return "decimal";
    case 108: return "numeric";
    case 122: return "smallmoney";
    case 127: return "bigint";
    case 165: return "varbinary";
    case 167: return "varchar";
    case 173: return "binary";
    case 175: return "char";
    case 189: return "timestamp";
    case 231: return userTypeId == 256 ? "sysname" : "nvarchar";
    case 239: return "nchar";
    case 240:
      switch (userTypeId) {
        case 128: return "hierarchyid";
        case 129: return "geometry";
        case 130: return "geography";
        default: return "";
      }
    case 241: return "xml";
    default: return "";
  }
}

}  // namespace quill
