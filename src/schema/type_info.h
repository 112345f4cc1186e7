// How a column's value sits in a record: whether it is variable-length, how
// many bytes it occupies in the fixed part, and how many bytes the decoder
// reads. The row builders get one TypeInfo per column from GetTypeInfo, set
// `available` (and, for variable-length values, `valueLength`), hand it to
// DecodeValue or DecodeVariant, and advance their fixed-data position by the
// `declaredSize` the decoder leaves behind.
#pragma once

#include <cstdint>

#include "schema/column_descriptor.h"

namespace quill {

// Consecutive bit columns of a record share stored bytes, eight bits to a
// byte, least significant bit first. The row builder creates one state per
// record; GetTypeInfo and DecodeValue advance it.
struct BitColumnState {
  int32_t index = 8;         // next bit of currentByte; 8 = a new byte must be loaded
  uint8_t currentByte = 0;
  uint8_t newByte = 0;       // 1: the last bit column consumed a new stored byte
  uint8_t byteLoaded = 0;    // 1: currentByte is valid
};

struct TypeInfo {
  BitColumnState* bitState = nullptr;  // bit columns only; not owned
  // Stored bytes the decoder may read (set by the caller). The decoder never
  // reads more than the span it is given, whatever this says.
  int64_t available = 0;
  uint8_t isVariable = 0;
  int16_t storedSize = 0;    // bytes the value occupies in the fixed part
  // 0 on entry: taken from the number in the descriptor's type text. On
  // return: the bytes the value consumed in the fixed part.
  int32_t declaredSize = 0;
  int16_t valueLength = 0;   // bytes of the value handed to the decoder
  int32_t code = 0;          // internal type code (schema/type_codes.h)
};

// The type information of `column` decoded as type `code`. For a bit column
// it also looks at `bit_state`: a column that starts a new stored byte
// (index 8) has storedSize 1 and sets newByte; the others share the byte,
// have storedSize 0 and clear newByte. Codes without a decoder give zero
// sizes.
TypeInfo GetTypeInfo(const ColumnDescriptor& column, int32_t code, BitColumnState* bit_state);

}  // namespace quill
