// The text of a sql_variant value.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "schema/type_info.h"
#include "values/value_decode_options.h"

namespace quill {

// The text of the sql_variant value held in the first `length` bytes of
// `data` (fewer when the span is shorter). Byte 0 is the base type (a system
// type id); the header size and the length each base type requires are
// fixed. An unknown base type or a length that does not fit gives the empty
// text. Sets info.declaredSize to 0 first, and to the byte count of the
// value for decimal and numeric.
std::string DecodeVariant(TypeInfo& info, int32_t length, std::span<const uint8_t> data,
                          const ValueDecodeOptions& options);

}  // namespace quill
