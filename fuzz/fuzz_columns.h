// Column descriptors and decode options for the targets that decode values:
// one column per internal type code, shaped the way object resolution
// shapes them, and the collation table of the build.
#pragma once

#include <cstdint>
#include <vector>

#include "schema/column_descriptor.h"
#include "values/value_decode_options.h"

namespace quill::fuzz {

// Internal type codes run from 0 to kLastTypeCode (12 is unused, and is
// kept: a code without a decoder must decode to nothing).
inline constexpr int32_t kLastTypeCode = 34;

// A column of internal type `code` with declared length `length` (bytes),
// precision and scale, and collation id `collation` (-1: none).
ColumnDescriptor ColumnOfType(int32_t code, int16_t length, uint8_t precision, uint8_t scale, int32_t collation);

// The collation table beside the program (or in the source tree), loaded
// once; options decoding with it and the database collation found.
const ValueDecodeOptions& DecodeOptions(bool table_display);

// A few tables' column lists for the record readers: varied fixed and
// variable types, some nullable, a sparse column. `which` picks one; 0
// gives none (records are then not expanded nor decoded).
const std::vector<ColumnDescriptor>* TableColumns(uint8_t which);

}  // namespace quill::fuzz
