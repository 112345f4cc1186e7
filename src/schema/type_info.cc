#include "schema/type_info.h"

#include "schema/type_codes.h"

namespace quill {

namespace {

void SetSizes(TypeInfo& info, uint8_t is_variable, int16_t stored_size, int16_t value_length) {
  info.isVariable = is_variable;
  info.storedSize = stored_size;
  info.valueLength = value_length;
}

}  // namespace

TypeInfo GetTypeInfo(const ColumnDescriptor& column, int32_t code, BitColumnState* bit_state) {
  using namespace type_code;
  TypeInfo info;
  info.code = code;
  info.bitState = bit_state;
  const int16_t declared = column.declaredLength;
  const uint8_t variable = column.variableLength ? 1 : 0;
  switch (code) {
    case kBigint: case kDatetime: case kDatetime2: case kMoney: case kFloat: case kTimestamp:
      SetSizes(info, 0, 8, 8);
      break;
    case kBinary: case kChar: case kDecimal:
      SetSizes(info, 0, declared, declared);
      break;
    case kBit: {
      int16_t stored = 1;  // without a state a bit column takes at most one byte
      if (bit_state != nullptr) {
        if (bit_state->index == 8) {
          bit_state->newByte = 1;
        } else {
          bit_state->newByte = 0;
          stored = 0;
        }
      }
      SetSizes(info, 0, stored, 1);
      break;
    }
    case kDate: SetSizes(info, 0, 3, 3); break;
    case kTime: SetSizes(info, 0, 5, 5); break;
    case kDatetimeOffset: SetSizes(info, 0, 10, 10); break;
    case kInt: case kSmalldatetime: case kReal: case kSmallmoney:
      SetSizes(info, 0, 4, 4);
      break;
    // hierarchyid and geometry keep codes of their own but are stored as
    // every CLR value is.
    case kNchar: case kNvarchar: case kNtext: case kSqlVariant: case kText: case kClrType:
    case kHierarchyId: case kGeometry:
      SetSizes(info, variable, declared, declared);
      break;
    case kSmallint: SetSizes(info, 0, 2, 2); break;
    case kTinyint: SetSizes(info, 0, 1, 1); break;
    case kUniqueIdentifier: SetSizes(info, 0, 16, 16); break;
    case kVarbinary: case kImage: case kXml:
      SetSizes(info, 1, 0, declared);
      break;
    case kVarchar: SetSizes(info, variable, 0, declared); break;
    case kNumeric: SetSizes(info, 0, 19, 19); break;
    default:  // 18 and codes past 34: nothing is stored or decoded
      SetSizes(info, 0, 0, 0);
      break;
  }
  return info;
}

}  // namespace quill
