// Value decoding for every internal type code. The first five bytes choose
// the column: type code, declared length (2 bytes), precision and scale;
// byte 5 holds flags (bit 0: table display, bit 1: no collation, bit 2:
// hand the decoder a shorter value length than the bytes, bit 3: start a
// bit column mid-byte). The rest is the value.
//
// Checked: the display text and the typed value are the same when decoded
// twice; the text is bounded by the input: hex and UTF-8 conversions grow
// at most threefold, plus room for a precision and a scale of up to 255
// digits each; xml is bounded by its decoder's cap.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_columns.h"
#include "fuzz_support.h"
#include "schema/type_codes.h"
#include "schema/type_info.h"
#include "values/typed_value.h"
#include "values/value_text.h"

namespace {

constexpr size_t kHead = 6;

struct Decoded {
  std::string text;
  quill::TypeInfo info;
  quill::TypedValue typed;
};

Decoded DecodeOnce(const quill::ColumnDescriptor& column, std::span<const uint8_t> value, uint8_t flags) {
  using namespace quill;
  BitColumnState bits;
  if ((flags & 8) != 0) {
    bits.index = flags >> 5;
    bits.currentByte = value.empty() ? 0 : value[0];
    bits.byteLoaded = 1;
  }
  Decoded d;
  d.info = GetTypeInfo(column, column.typeCode, &bits);
  d.info.available = static_cast<int64_t>(value.size());
  if (d.info.isVariable != 0 || d.info.valueLength <= 0) {
    size_t length = std::min<size_t>(value.size(), 32767);
    if ((flags & 4) != 0 && length > 0) length = length / 2;
    d.info.valueLength = static_cast<int16_t>(length);
  }
  d.text = DecodeValue(d.info, column, value, quill::fuzz::DecodeOptions((flags & 1) != 0));
  DecodeTypedValue(column, column.typeCode, value, !value.empty(), d.text, d.typed);
  return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quill;
  using namespace quill::fuzz;
  if (size < kHead) return 0;
  const int32_t code = data[0] % (kLastTypeCode + 1);
  const auto length = static_cast<int16_t>(data[1] | (data[2] << 8));
  const uint8_t flags = data[5];
  const ColumnDescriptor column = ColumnOfType(code, length, data[3], data[4], (flags & 2) != 0 ? -1 : 53256);
  const ExactBytes value(data + kHead, size - kHead);
  const size_t n = value.span().size();

  const Decoded first = DecodeOnce(column, value.span(), flags);
  const Decoded second = DecodeOnce(column, value.span(), flags);
  Require(first.text == second.text, "value text is deterministic");
  Require(first.info.declaredSize == second.info.declaredSize && first.info.valueLength == second.info.valueLength,
          "type information left behind is deterministic");
  Require(first.typed.kind == second.typed.kind && first.typed.text == second.typed.text &&
              first.typed.integer == second.typed.integer && first.typed.scale == second.typed.scale &&
              (first.typed.real == second.typed.real || (first.typed.real != first.typed.real &&
                                                         second.typed.real != second.typed.real)),
          "typed value is deterministic");

  const size_t bound = code == type_code::kXml ? 2 * (256 * n + (size_t{1} << 16)) : 3 * n + 2 * 256 + 64;
  Require(first.text.size() <= bound, "value text bounded by the value's size");
  Require(first.typed.text.size() <= bound + first.text.size(), "typed text bounded by the value's size");
  return 0;
}
