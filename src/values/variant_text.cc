// sql_variant values: byte 0 is the base type (the system type id of the
// value), then a header whose size depends on it, then the value bytes.
//
//   base type              length   value bytes   text
//   127 bigint             10       8 at 2        "%lld"
//   56 int                 6        4 at 2        "%d"
//   52 smallint            4        2 at 2        "%d"
//   48 tinyint             3        1 at 2        unsigned "%d"
//   104 bit                3        byte 2        "True" unless 0
//   62 float               10       8 at 2        float text
//   59 real                6        4 at 2        six significant digits
//   60 money               10       8 at 2        money text
//   122 smallmoney         6        4 at 2        smallmoney text
//   106/108 decimal        > 4      L-4 at 4      decimal text, precision byte 2, scale byte 3
//   61 datetime            10       8 at 2        datetime text
//   58 smalldatetime       6        4 at 2        smalldatetime text
//   40 date                5        3 at 2        date text
//   41/42/43 time types    > 3      L-3 at 3      scale byte 2
//   36 uniqueidentifier    18       16 at 2       GUID text
//   175 char               > 2      L-2 at 2      ANSI text up to the first zero
//   167 varchar            > 8      L-8 at 8      ANSI text up to the first zero
//   239/231 nchar/nvarchar > 8      L-8 at 8      UTF-16 up to the first zero
//   173/165 binary         > 4      L-4 at 4      the bytes as ANSI text up to the first zero
//   240 CLR type           > 2      L-2 at 2      "0x" and hex text
//
// Example: 38 01 2A 00 00 00 (int, length 6) -> "42".
#include "values/variant_text.h"

#include <bit>
#include <cstdint>
#include <string>

#include "common/little_endian.h"
#include "values/value_text.h"

namespace quill {

namespace {

template <typename T>
T LoadAt(std::span<const uint8_t> bytes, size_t offset) {
  return LoadLittleEndianUnchecked<T>(bytes.data() + offset);
}

}  // namespace

std::string DecodeVariant(TypeInfo& info, int32_t length, std::span<const uint8_t> data,
                          const ValueDecodeOptions& options) {
  info.declaredSize = 0;
  // A length past the bytes at hand is not trusted: the value is cut or
  // the length is damaged, and either way there is nothing sound to show.
  if (length <= 0 || static_cast<size_t>(length) > data.size()) return {};
  const size_t size = static_cast<size_t>(length);
  const std::span<const uint8_t> v = data.first(size);
  // The bytes from `offset` to the end of the value; only called once the
  // length check has made sure there is at least one.
  auto tail = [&](size_t offset) { return v.subspan(offset); };

  switch (v[0]) {
    case 127:
      return size == 10 ? std::to_string(LoadAt<int64_t>(v, 2)) : std::string();
    case 56:
      return size == 6 ? std::to_string(LoadAt<int32_t>(v, 2)) : std::string();
    case 52:
      return size == 4 ? std::to_string(LoadAt<int16_t>(v, 2)) : std::string();
    case 48:
      return size == 3 ? std::to_string(v[2]) : std::string();
    case 104:
      if (size != 3) return {};
      return v[2] != 0 ? "True" : "False";
    case 62:
      if (size != 10) return {};
      return FloatText(std::bit_cast<double>(LoadAt<uint64_t>(v, 2)), /*zero_for_non_finite=*/false);
    case 59:
      if (size != 6) return {};
      return RealText(std::bit_cast<float>(LoadAt<uint32_t>(v, 2)), /*zero_for_non_finite=*/false);
    case 60:
      return size == 10 ? MoneyText(LoadAt<int64_t>(v, 2)) : std::string();
    case 122:
      return size == 6 ? SmallMoneyText(LoadAt<int32_t>(v, 2)) : std::string();
    case 106:
    case 108:
      if (size <= 4) return {};
      info.declaredSize = static_cast<int32_t>(size - 4);
      return DecimalText(tail(4), v[2], v[3]);
    case 61:
      return size == 10 ? DatetimeText(tail(2)) : std::string();
    case 58:
      return size == 6 ? SmallDatetimeText(tail(2)) : std::string();
    case 40:
      return size == 5 ? DateText(tail(2)) : std::string();
    case 41:
      return size > 3 ? TimeText(tail(3), v[2]) : std::string();
    case 42:
      return size > 3 ? Datetime2Text(tail(3), v[2]) : std::string();
    case 43:
      return size > 3 ? DatetimeOffsetText(tail(3), v[2]) : std::string();
    case 36:
      return size == 18 ? GuidText(tail(2)) : std::string();
    case 175:
      return size > 2 ? CodePageTextToFirstZero(tail(2), options.ansiCodePage) : std::string();
    case 167:
      return size > 8 ? CodePageTextToFirstZero(tail(8), options.ansiCodePage) : std::string();
    case 239:
    case 231:
      return size > 8 ? Utf16TextToFirstZero(tail(8)) : std::string();
    case 173:
    case 165:
      return size > 4 ? CodePageTextToFirstZero(tail(4), options.ansiCodePage) : std::string();
    case 240:
      return size > 2 ? "0x" + HexText(tail(2)) : std::string();
    default:
      return {};
  }
}

}  // namespace quill
