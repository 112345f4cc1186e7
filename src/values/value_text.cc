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
  return set ? std::string("True", 4) : std::string("False", 5);
}

template <typename T>
T LoadValue(std::span<const uint8_t> bytes) {
  return LoadLittleEndianUnchecked<T>(bytes.data());
}

// The bytes a type's text is made from, for the types that read a set
// count: the first `count` bytes of the value, which must be at least
// `least` (an int reads four, whatever its length says).
struct ByteNeed {
  int64_t count = 0;
  int64_t least = 1;
};

[[gnu::always_inline]] inline std::optional<ByteNeed> FixedByteNeed(const TypeInfo& info) {
  using namespace type_code;
  const int64_t length = info.valueLength;
  switch (info.code) {
    case kBigint: return ByteNeed{length, 8};
    case kInt: return ByteNeed{length, 4};
    case kSmallint: return ByteNeed{length, 2};
    case kTinyint:
    case kBinary:
    case kTimestamp:
    case kClrType:
    case kHierarchyId:
    case kGeometry:
    case kChar:
    case kNchar:
      return ByteNeed{length, 1};
    case kUniqueIdentifier: return ByteNeed{length, 16};
    case kDatetime: return ByteNeed{8, 1};
    case kSmalldatetime: return ByteNeed{4, 1};
    case kDate: return ByteNeed{3, 1};
    case kTime:
    case kDatetime2:
    case kDatetimeOffset:
    case kNumeric:
    case kDecimal:
      return ByteNeed{info.declaredSize, 1};
    case kMoney: return ByteNeed{info.declaredSize, 8};
    case kSmallmoney: return ByteNeed{info.declaredSize, 4};
    case kFloat: return ByteNeed{length, 8};
    case kReal: return ByteNeed{length, 4};
    default: return std::nullopt;
  }
}

// What DecodeValue reads of `data`: the first valueLength bytes, no more
// than `info.available` of them when that is set.
struct ValueWindow {
  std::span<const uint8_t> value;
  int64_t stored = 0;  // bytes of the value that may be read
};

[[gnu::always_inline]] inline ValueWindow WindowOf(const TypeInfo& info, std::span<const uint8_t> data) {
  const size_t value_size =
      info.valueLength > 0 ? std::min(static_cast<size_t>(info.valueLength), data.size()) : 0;
  ValueWindow window;
  window.value = data.first(value_size);
  int64_t available = static_cast<int64_t>(data.size());
  if (info.available > 0) available = std::min(available, info.available);
  window.stored = std::min(available, static_cast<int64_t>(value_size));
  return window;
}

// Why `need` cannot be met by `window`.
[[gnu::cold]] [[gnu::noinline]] Status ShortValue(const ValueWindow& window, ByteNeed need) {
  const int64_t n = need.count;
  if (n <= 0) return Status::Failure("value length unknown for its type");
  return Status::Failure("value cut short: " + std::to_string(std::max(n, need.least)) + " bytes needed, " +
                         std::to_string(std::min(n, window.stored)) + " stored");
}

// The bytes `need` asks for, or nothing (and the failure noted) when they
// are not there or fewer than the type reads.
[[gnu::always_inline]] inline std::optional<std::span<const uint8_t>> TakeBytes(
    const ValueWindow& window, ByteNeed need, Status* failure) {
  const int64_t n = need.count;
  if (n > 0 && n >= need.least && n <= window.stored) [[likely]] {
    return window.value.first(static_cast<size_t>(n));
  }
  if (failure != nullptr) *failure = ShortValue(window, need);
  return std::nullopt;
}

// The adjustments DecodeValue makes to the caller's type information
// before it reads.
void PrepareInfo(TypeInfo& info, const ColumnDescriptor& column) {
  if (info.declaredSize == 0) info.declaredSize = column.maxLength;
  if (info.isVariable != 0) info.available = info.valueLength;
}

}  // namespace

bool CheckValueBytes(TypeInfo info, const ColumnDescriptor& column, std::span<const uint8_t> data,
                     Status* failure) {
  if (data.empty() || info.code == type_code::kSqlVariant || info.code == type_code::kBit) return true;
  PrepareInfo(info, column);
  if (info.valueLength <= 0) return true;
  const std::optional<ByteNeed> need = FixedByteNeed(info);
  return !need || TakeBytes(WindowOf(info, data), *need, failure).has_value();
}

// The value's bytes are the first valueLength bytes of `data` (fewer when
// the span is shorter). A type that "needs n bytes" gives the empty text when
// n exceeds the available bytes or the value's bytes.
std::string DecodeValue(TypeInfo& info, const ColumnDescriptor& column,
                        std::span<const uint8_t> data, const ValueDecodeOptions& options, Status* failure) {
  using namespace type_code;
  if (data.empty()) return {};
  PrepareInfo(info, column);
  const ValueWindow window = WindowOf(info, data);
  const std::span<const uint8_t> value = window.value;

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

  // The types that read a set count of bytes give the empty text without
  // them.
  std::span<const uint8_t> b;
  if (const std::optional<ByteNeed> need = FixedByteNeed(info)) {
    const auto taken = TakeBytes(window, *need, failure);
    if (!taken) return {};
    b = *taken;
  }
  switch (info.code) {
    case kBigint:
      return std::to_string(LoadValue<int64_t>(b));
    case kInt:
      return std::to_string(LoadValue<int32_t>(b));
    case kSmallint:
      return std::to_string(LoadValue<int16_t>(b));
    case kTinyint:
      return std::to_string(b[0]);
    case kBinary:
    case kTimestamp:
      return "0x" + HexText(b);
    case kClrType:
    case kHierarchyId:
    case kGeometry:
      // The serialized CLR value as hex, like any binary value: an empty
      // cell would hide stored bytes.
      return HexText(b);
    case kVarbinary:
      return HexText(value);
    case kChar:
      return CharacterText(b, info.code, column.collationId, options);
    case kVarchar:
    case kText:
      return CharacterText(value, info.code, column.collationId, options);
    case kNchar:
      return Utf16TextToFirstZero(b);
    case kNvarchar:
    case kNtext:
      return Utf16TextToFirstZero(value);
    case kUniqueIdentifier:
      return GuidText(b);
    case kDatetime:
      return DatetimeText(b);
    case kSmalldatetime:
      return SmallDatetimeText(b);
    case kDate:
      return DateText(b);
    case kTime:
      return TimeText(b, column.scale);
    case kDatetime2:
      return Datetime2Text(b, column.scale);
    case kDatetimeOffset:
      return DatetimeOffsetText(b, column.scale);
    case kMoney:
      return MoneyText(LoadValue<int64_t>(b));
    case kSmallmoney:
      return SmallMoneyText(LoadValue<int32_t>(b));
    case kFloat:
      return FloatText(std::bit_cast<double>(LoadValue<uint64_t>(b)), /*zero_for_non_finite=*/true);
    case kReal:
      return RealText(std::bit_cast<float>(LoadValue<uint32_t>(b)), /*zero_for_non_finite=*/true);
    case kNumeric:
    case kDecimal:
      return DecimalText(b, column.precision, column.scale);
    case kXml: {
      std::string text = DecodeXml(value);
      return text.empty() ? " " : text;
    }
    default:  // 18, 25 and codes without a decoder
      return {};
  }
}

}  // namespace quill
