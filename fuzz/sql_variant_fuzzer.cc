// sql_variant values: byte 0 holds flags (bit 0: table display, bit 1:
// declare a length shorter than the bytes); the rest is the stored variant
// (base type, its header, the value). Checked: deterministic text and
// declared size, text bounded by three times the value plus a constant,
// and a declared size that never exceeds the bytes given. The bound leaves
// room for a decimal's stored precision and scale (up to 255 digits each).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_columns.h"
#include "fuzz_support.h"
#include "schema/type_codes.h"
#include "schema/type_info.h"
#include "values/variant_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quill;
  using namespace quill::fuzz;
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  const ExactBytes value(data + 1, size - 1);
  const size_t n = value.span().size();
  const auto length = static_cast<int32_t>((flags & 2) != 0 ? n / 2 : n);
  const ValueDecodeOptions& options = DecodeOptions((flags & 1) != 0);

  TypeInfo first_info{.code = type_code::kSqlVariant};
  TypeInfo second_info{.code = type_code::kSqlVariant};
  const std::string first = DecodeVariant(first_info, length, value.span(), options);
  const std::string second = DecodeVariant(second_info, length, value.span(), options);
  Require(first == second && first_info.declaredSize == second_info.declaredSize,
          "sql_variant decoding is deterministic");
  Require(first.size() <= 3 * n + 2 * 256 + 64, "sql_variant text bounded by the value's size");
  Require(first_info.declaredSize >= 0 && static_cast<size_t>(first_info.declaredSize) <= n,
          "declared size within the value");
  return 0;
}
