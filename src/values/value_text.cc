// DecodeValue: the text of one column value by its internal type code.
#include "values/value_text.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <climits>
#include <optional>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/little_endian.h"
#include "schema/type_codes.h"
#include "schema/type_text.h"
#include "values/xml_text_decoder.h"

namespace quill {

namespace {

// Bit columns share stored bytes through the record's BitColumnState: the
// first bit column of a byte loads it (storedSize and declaredSize 1, the
// caller advances one byte), the next seven read their bits from it
// (sizes 0). Bits are taken least significant first: three bit columns on
// the byte 05 give "True", "False", "True".
std::string BitText(TypeInfo& info, std::span<const uint8_t> value) {
  BitColumnState* state = info.bitState;
  if (info.valueLength != 1 || state == nullptr) return {};
  if (state->index >= 8 || state->index < 0) state->byteLoaded = 0;
  if (state->byteLoaded == 0) {
    if (value.empty()) return {};
    state->currentByte = value[0];
    state->index = 0;
    state->byteLoaded = 1;
    state->newByte = 1;
    info.storedSize = 1;
    info.declaredSize = 1;
  } else {
    info.storedSize = 0;
    info.declaredSize = 0;
    state->newByte = 0;
  }
  const bool set = ((state->currentByte >> state->index) & 1) != 0;
  ++state->index;
  return set ? "True" : "False";
}

template <typename T>
T LoadValue(std::span<const uint8_t> bytes) {
  return LoadLittleEndianUnchecked<T>(bytes.data());
}

}  // namespace

// The value's bytes are the first valueLength bytes of `data` (fewer when
// the span is shorter). A type that "needs n bytes" gives the empty text when
// n exceeds the available bytes or the value's bytes.
std::string DecodeValue(TypeInfo& info, const ColumnDescriptor& column,
                        std::span<const uint8_t> data, const ValueDecodeOptions& options) {
  using namespace type_code;
  if (data.empty()) return {};
  if (info.declaredSize == 0) info.declaredSize = DeclaredSizeFromTypeText(column.typeText);
  if (info.isVariable != 0) info.available = info.valueLength;

  const size_t value_size =
      info.valueLength > 0 ? std::min(static_cast<size_t>(info.valueLength), data.size()) : 0;
  const std::span<const uint8_t> value = data.first(value_size);
  int64_t available = static_cast<int64_t>(data.size());
  if (info.available > 0) available = std::min(available, info.available);

  // The first n bytes of the value, or nothing when n bytes are not there.
  auto needs = [&](int64_t n) -> std::optional<std::span<const uint8_t>> {
    if (n <= 0 || n > available || n > static_cast<int64_t>(value.size())) return std::nullopt;
    return value.first(static_cast<size_t>(n));
  };

  if (info.code == kSqlVariant) {
    info.valueLength = static_cast<int16_t>(info.valueLength - 8);
    if (info.valueLength <= 0) return {};
    // The caller passes the bytes after the 8-byte header; the text is made
    // from the first valueLength of them.
    return GuessedUnicodeText(value.first(std::min(value.size(), static_cast<size_t>(info.valueLength))), options);
  }
  if (info.code == kBit) {
    if (info.valueLength <= 0) return "False";
    return BitText(info, value);
  }
  if (info.valueLength <= 0) return {};

  const int64_t length = info.valueLength;
  switch (info.code) {
    case kBigint:
      if (auto b = needs(length); b && b->size() >= 8) return std::to_string(LoadValue<int64_t>(*b));
      return {};
    case kInt:
      if (auto b = needs(length); b && b->size() >= 4) return std::to_string(LoadValue<int32_t>(*b));
      return {};
    case kSmallint:
      if (auto b = needs(length); b && b->size() >= 2) return std::to_string(LoadValue<int16_t>(*b));
      return {};
    case kTinyint:
      if (auto b = needs(length)) return std::to_string((*b)[0]);
      return {};
    case kBinary:
    case kTimestamp:
      if (auto b = needs(length)) return "0x" + HexText(*b);
      return {};
    case kClrType:
    case kHierarchyId:
    case kGeometry:
      // The serialized CLR value as hex, like any binary value: an empty
      // cell would hide stored bytes.
      if (auto b = needs(length)) return HexText(*b);
      return {};
    case kVarbinary:
      return HexText(value);
    case kChar:
      if (auto b = needs(length)) return CharacterText(*b, info.code, column.collationId, options);
      return {};
    case kVarchar:
    case kText:
      return CharacterText(value, info.code, column.collationId, options);
    case kNchar:
      if (auto b = needs(length)) return Utf16TextToFirstZero(*b);
      return {};
    case kNvarchar:
    case kNtext:
      return Utf16TextToFirstZero(value);
    case kUniqueIdentifier:
      if (auto b = needs(length)) return GuidText(*b);
      return {};
    case kDatetime:
      if (auto b = needs(8)) return DatetimeText(*b);
      return {};
    case kSmalldatetime:
      if (auto b = needs(4)) return SmallDatetimeText(*b);
      return {};
    case kDate:
      if (auto b = needs(3)) return DateText(*b);
      return {};
    case kTime:
      if (auto b = needs(info.declaredSize)) return TimeText(*b, column.scale);
      return {};
    case kDatetime2:
      if (auto b = needs(info.declaredSize)) return Datetime2Text(*b, column.scale);
      return {};
    case kDatetimeOffset:
      if (auto b = needs(info.declaredSize)) return DatetimeOffsetText(*b, column.scale);
      return {};
    case kMoney:
      if (auto b = needs(info.declaredSize); b && b->size() >= 8) return MoneyText(LoadValue<int64_t>(*b));
      return {};
    case kSmallmoney:
      if (auto b = needs(info.declaredSize); b && b->size() >= 4) return SmallMoneyText(LoadValue<int32_t>(*b));
      return {};
    case kFloat:
      if (auto b = needs(length); b && b->size() >= 8) {
        return FloatText(std::bit_cast<double>(LoadValue<uint64_t>(*b)), /*zero_for_non_finite=*/true);
      }
      return {};
    case kReal:
      if (auto b = needs(length); b && b->size() >= 4) {
        return RealText(std::bit_cast<float>(LoadValue<uint32_t>(*b)), /*zero_for_non_finite=*/true);
      }
      return {};
    case kNumeric:
    case kDecimal:
      if (auto b = needs(info.declaredSize)) return DecimalText(*b, column.precision, column.scale);
      return {};
    case kXml: {
      std::string text = DecodeXml(value);
      return text.empty() ? " " : text;
    }
    default:  // 18, 25 and codes without a decoder
      return {};
  }
}

}  // namespace quill
