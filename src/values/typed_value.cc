// DecodeTypedValue: stored bytes to lossless typed values.
#include "values/typed_value.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstring>

#include "common/little_endian.h"
#include "schema/type_codes.h"

namespace quill {

namespace {

constexpr int64_t kDaysTo1900 = 693595;  // 0001-01-01 to 1900-01-01
constexpr uint64_t kSecondsPerDay = 86400;

// char, varchar, text and their Unicode kinds: their typed cell is their
// display text.
bool IsCharacterCode(int32_t code) {
  using namespace type_code;
  return code == kChar || code == kVarchar || code == kText || code == kNchar || code == kNvarchar ||
         code == kNtext;
}

uint64_t LoadUnsigned(std::span<const uint8_t> bytes) {
  uint64_t v = 0;
  for (size_t i = bytes.size(); i > 0; --i) v = (v << 8) | bytes[i - 1];
  return v;
}

// A date, time or offset text built on the stack and handed to its cell in
// one append: the longest, a datetimeoffset(7), takes 33 characters.
class ShortText {
 public:
  void push_back(char c) {
    assert(size_ < sizeof text_);
    text_[size_++] = c;
  }
  void append(const char* text, size_t size) {
    assert(size <= sizeof text_ - size_);
    std::copy(text, text + size, text_ + size_);
    size_ += size;
  }
  void clear() { size_ = 0; }
  void AppendTo(std::string& out) const { out.append(text_, size_); }

 private:
  char text_[48];
  size_t size_ = 0;
};

// Appends `value` (0 <= value < 10^width, width <= 20) as exactly `width`
// digits.
template <typename Text>
void AppendDigits(Text& out, uint64_t value, int width) {
  char digits[20];
  for (int i = width - 1; i >= 0; --i) {
    digits[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  out.append(digits, static_cast<size_t>(width));
}

// "YYYY-MM-DD" for day 0 = 0001-01-01 (civil-from-days over 400-year eras);
// false outside years 1..9999.
bool AppendDate(ShortText& out, int64_t day_number) {
  const int64_t z = day_number + 306;  // days since 0000-03-01
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  if (year < 1 || year > 9999) return false;
  AppendDigits(out, static_cast<uint64_t>(year), 4);
  out.push_back('-');
  AppendDigits(out, static_cast<uint64_t>(month), 2);
  out.push_back('-');
  AppendDigits(out, static_cast<uint64_t>(day), 2);
  return true;
}

// "HH:MM:SS" and, for scale > 0, "." and `scale` fraction digits.
bool AppendClock(ShortText& out, uint64_t seconds, uint64_t fraction, int32_t scale) {
  if (seconds >= kSecondsPerDay) return false;
  AppendDigits(out, seconds / 3600, 2);
  out.push_back(':');
  AppendDigits(out, (seconds / 60) % 60, 2);
  out.push_back(':');
  AppendDigits(out, seconds % 60, 2);
  if (scale > 0) {
    out.push_back('.');
    AppendDigits(out, fraction, scale);
  }
  return true;
}

uint64_t PowerOfTen(int32_t scale) {
  uint64_t p = 1;
  for (int32_t i = 0; i < scale; ++i) p *= 10;
  return p;
}

// Bytes of the time part of time(s), datetime2(s) and datetimeoffset(s).
size_t TimeBytes(int32_t scale) { return scale <= 2 ? 3 : scale <= 4 ? 4 : 5; }

// Time units of a time(s) value split at the second; false when out of range.
bool AppendTimeUnits(ShortText& out, std::span<const uint8_t> bytes, int32_t scale) {
  const uint64_t power = PowerOfTen(scale);
  const uint64_t units = LoadUnsigned(bytes);
  return AppendClock(out, units / power, units % power, scale);
}

// datetime: ticks of 1/300 s at 0, days since 1900-01-01 at 4. The
// milliseconds are the ticks x 10 / 3 rounded, as the server shows them
// (.000, .003, .007), which gives back the same tick count.
bool DatetimeValue(std::span<const uint8_t> b, TypedValue& out) {
  const int32_t ticks = LoadLittleEndianUnchecked<int32_t>(b.data());
  const int32_t days = LoadLittleEndianUnchecked<int32_t>(b.data() + 4);
  if (ticks < 0) return false;
  const uint64_t ms = (static_cast<uint64_t>(ticks) * 10 + 1) / 3;
  ShortText text;
  if (!AppendDate(text, kDaysTo1900 + days)) return false;
  text.push_back('T');
  out.scale = 3;
  if (!AppendClock(text, ms / 1000, ms % 1000, 3)) return false;
  text.AppendTo(out.text);
  return true;
}

bool DecimalValue(std::span<const uint8_t> b, int32_t precision, int32_t scale, TypedValue& out) {
  const size_t magnitude_bytes = precision <= 9 ? 4 : precision <= 19 ? 8 : precision <= 28 ? 12 : 16;
  if (b.size() < 1 + magnitude_bytes || scale < 0 || scale > 38) return false;
  unsigned __int128 v = 0;
  for (size_t i = magnitude_bytes; i > 0; --i) v = (v << 8) | b[i];
  char digits[48];
  int n = 0;
  // Most stored magnitudes fit 64 bits, whose division is far cheaper than
  // the 128-bit one.
  if (v >> 64 == 0) {
    uint64_t small = static_cast<uint64_t>(v);
    do {
      digits[n++] = static_cast<char>('0' + static_cast<int>(small % 10));
      small /= 10;
    } while (small != 0);
  } else {
    do {
      digits[n++] = static_cast<char>('0' + static_cast<int>(v % 10));
      v /= 10;
    } while (v != 0);
  }
  while (n <= scale) digits[n++] = '0';
  if (b[0] == 0) {
    bool zero = true;
    for (int i = 0; i < n; ++i) zero = zero && digits[i] == '0';
    if (!zero) out.text.push_back('-');
  }
  // Most significant digit first, "." before the last `scale` digits.
  char text[50];
  size_t length = 0;
  for (int i = n - 1; i >= 0; --i) {
    text[length++] = digits[i];
    if (i == scale && scale > 0) text[length++] = '.';
  }
  out.text.append(text, length);
  out.kind = ValueKind::kDecimal;
  out.scale = scale;
  return true;
}

void MoneyValue(int64_t amount, TypedValue& out) {
  const bool negative = amount < 0;
  const uint64_t magnitude = negative ? uint64_t{0} - static_cast<uint64_t>(amount) : static_cast<uint64_t>(amount);
  if (negative) out.text.push_back('-');
  out.text += std::to_string(magnitude / 10000);
  out.text.push_back('.');
  AppendDigits(out.text, magnitude % 10000, 4);
  out.kind = ValueKind::kDecimal;
  out.scale = 4;
}

void GuidValue(std::span<const uint8_t> b, TypedValue& out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  // The first three groups are little-endian, the last two in byte order.
  static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  char text[36];
  size_t length = 0;
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text[length++] = '-';
    const uint8_t byte = b[static_cast<size_t>(kOrder[i])];
    text[length++] = kHex[byte >> 4];
    text[length++] = kHex[byte & 15];
  }
  out.text.append(text, length);
  out.kind = ValueKind::kGuid;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The bytes of a hex display text ("0x" optional); false at a stray character.
bool BytesFromHex(const std::string& hex, std::string& bytes) {
  size_t i = hex.size() >= 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X') ? 2 : 0;
  if ((hex.size() - i) % 2 != 0) return false;
  bytes.reserve((hex.size() - i) / 2);
  for (; i < hex.size(); i += 2) {
    const int high = HexDigit(hex[i]);
    const int low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return true;
}

// Decodes the fixed-size and short variable types from their bytes; false
// when the bytes do not hold a value.
bool DecodeFromBytes(const ColumnDescriptor& column, int32_t code, std::span<const uint8_t> b, TypedValue& out) {
  using namespace type_code;
  auto integer = [&](int64_t v) {
    out.kind = ValueKind::kInteger;
    out.integer = v;
    return true;
  };
  switch (code) {
    case kBigint:
      return b.size() >= 8 && integer(LoadLittleEndianUnchecked<int64_t>(b.data()));
    case kInt:
      return b.size() >= 4 && integer(LoadLittleEndianUnchecked<int32_t>(b.data()));
    case kSmallint:
      return b.size() >= 2 && integer(LoadLittleEndianUnchecked<int16_t>(b.data()));
    case kTinyint:
      return !b.empty() && integer(b[0]);
    case kFloat:
      if (b.size() < 8) return false;
      out.kind = ValueKind::kFloat;
      out.real = std::bit_cast<double>(LoadLittleEndianUnchecked<uint64_t>(b.data()));
      return true;
    case kReal:
      if (b.size() < 4) return false;
      out.kind = ValueKind::kFloat;
      out.single = true;
      out.real = std::bit_cast<float>(LoadLittleEndianUnchecked<uint32_t>(b.data()));
      return true;
    case kMoney:
      if (b.size() < 8) return false;
      MoneyValue(LoadLittleEndianUnchecked<int64_t>(b.data()), out);
      return true;
    case kSmallmoney:
      if (b.size() < 4) return false;
      MoneyValue(LoadLittleEndianUnchecked<int32_t>(b.data()), out);
      return true;
    case kNumeric:
    case kDecimal:
      return DecimalValue(b, column.precision, column.scale, out);
    case kUniqueIdentifier:
      if (b.size() < 16) return false;
      GuidValue(b, out);
      return true;
    case kDatetime:
      out.kind = ValueKind::kDateTime;
      return b.size() >= 8 && DatetimeValue(b, out);
    case kSmalldatetime: {
      if (b.size() < 4) return false;
      const uint16_t minutes = LoadLittleEndianUnchecked<uint16_t>(b.data());
      const uint16_t days = LoadLittleEndianUnchecked<uint16_t>(b.data() + 2);
      out.kind = ValueKind::kDateTime;
      out.scale = 0;
      ShortText text;
      if (!AppendDate(text, kDaysTo1900 + days)) return false;
      text.push_back('T');
      if (!AppendClock(text, uint64_t{minutes} * 60, 0, 0)) return false;
      text.AppendTo(out.text);
      return true;
    }
    case kDate: {
      out.kind = ValueKind::kDate;
      ShortText text;
      if (b.size() < 3 || !AppendDate(text, static_cast<int64_t>(LoadUnsigned(b.first(3))))) return false;
      text.AppendTo(out.text);
      return true;
    }
    case kTime: {
      const int32_t scale = column.scale;
      if (scale > 7 || b.size() < TimeBytes(scale)) return false;
      out.kind = ValueKind::kTime;
      out.scale = scale;
      ShortText text;
      if (!AppendTimeUnits(text, b.first(TimeBytes(scale)), scale)) return false;
      text.AppendTo(out.text);
      return true;
    }
    case kDatetime2:
    case kDatetimeOffset: {
      const int32_t scale = column.scale;
      const size_t time_bytes = TimeBytes(scale);
      const size_t need = time_bytes + 3 + (code == kDatetimeOffset ? 2 : 0);
      if (scale > 7 || b.size() < need) return false;
      out.kind = code == kDatetime2 ? ValueKind::kDateTime : ValueKind::kDateTimeOffset;
      out.scale = scale;
      ShortText text;
      if (!AppendDate(text, static_cast<int64_t>(LoadUnsigned(b.subspan(time_bytes, 3))))) return false;
      text.push_back('T');
      if (!AppendTimeUnits(text, b.first(time_bytes), scale)) return false;
      if (code == kDatetimeOffset) {
        // Stored in UTC; the offset in minutes says the local time it was
        // given in. ISO 8601 writes the local time with its offset.
        const int16_t offset = LoadLittleEndianUnchecked<int16_t>(b.data() + time_bytes + 3);
        if (offset < -14 * 60 || offset > 14 * 60) return false;
        const uint64_t power = PowerOfTen(scale);
        const int64_t day = static_cast<int64_t>(LoadUnsigned(b.subspan(time_bytes, 3)));
        const uint64_t units = LoadUnsigned(b.first(time_bytes));
        int64_t seconds = day * static_cast<int64_t>(kSecondsPerDay) + static_cast<int64_t>(units / power) +
                          int64_t{offset} * 60;
        if (seconds < 0) return false;
        text.clear();
        if (!AppendDate(text, seconds / static_cast<int64_t>(kSecondsPerDay))) return false;
        text.push_back('T');
        AppendClock(text, static_cast<uint64_t>(seconds % static_cast<int64_t>(kSecondsPerDay)), units % power,
                    scale);
        const uint16_t minutes = static_cast<uint16_t>(offset < 0 ? -offset : offset);
        text.push_back(offset < 0 ? '-' : '+');
        AppendDigits(text, minutes / 60, 2);
        text.push_back(':');
        AppendDigits(text, minutes % 60, 2);
      }
      text.AppendTo(out.text);
      return true;
    }
    case kBinary:
    case kTimestamp: {
      // A fixed column's span runs on to the end of the fixed part.
      const size_t length = code == kTimestamp ? 8 : static_cast<size_t>(std::max<int16_t>(column.declaredLength, 0));
      if (b.size() < length) return false;
      out.kind = ValueKind::kBinary;
      out.text.assign(reinterpret_cast<const char*>(b.data()), length);
      return true;
    }
    case kVarbinary:
    case kImage:
    case kClrType:
    case kHierarchyId:
    case kGeometry:
      out.kind = ValueKind::kBinary;
      out.text.assign(reinterpret_cast<const char*>(b.data()), b.size());
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string ShortestFloatText(double value, bool single) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[64];
  const auto result = single ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(value))
                             : std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

void DecodeTypedValue(const ColumnDescriptor& column, int32_t code, std::span<const uint8_t> raw, bool has_raw,
                      const std::string& display_text, TypedValue& out) {
  using namespace type_code;
  out.text.clear();
  out.single = false;
  out.scale = 0;
  if (IsCharacterCode(code)) {
    out.kind = ValueKind::kText;
    out.text = display_text;
    return;
  }
  switch (code) {
    case kXml:
      // A document read but empty shows as one blank.
      out.kind = ValueKind::kXml;
      out.text = display_text == " " ? std::string() : display_text;
      return;
    case kSqlVariant:
      out.kind = ValueKind::kVariant;
      out.text = display_text;
      return;
    case kBit: {
      // The text of a bit is "True" or "False"; anything else is no value.
      const bool is_true = display_text.size() == 4 && std::memcmp(display_text.data(), "True", 4) == 0;
      if (!is_true && !(display_text.size() == 5 && std::memcmp(display_text.data(), "False", 5) == 0)) break;
      out.kind = ValueKind::kBoolean;
      out.integer = is_true ? 1 : 0;
      return;
    }
    default:
      break;
  }
  if (has_raw) {
    if (DecodeFromBytes(column, code, raw, out)) return;
  } else if (code == kVarbinary || code == kImage || code == kBinary || code == kClrType || code == kHierarchyId ||
             code == kGeometry) {
    // A large value arrives as the display text's hex digits (" " when its
    // node was read but held nothing).
    out.kind = ValueKind::kBinary;
    if (display_text == " " || BytesFromHex(display_text, out.text)) return;
  }
  out.SetNull();
}

void DecodeTypedValue(const ColumnDescriptor& column, int32_t code, std::span<const uint8_t> raw, bool has_raw,
                      std::string&& display_text, TypedValue& out) {
  if (IsCharacterCode(code)) {
    out.kind = ValueKind::kText;
    out.single = false;
    out.scale = 0;
    out.text.swap(display_text);
    return;
  }
  DecodeTypedValue(column, code, raw, has_raw, static_cast<const std::string&>(display_text), out);
}

void DecodeTypedAddedValue(const ColumnDescriptor& column, TypedValue& out) {
  if (!column.addedColumnValue) {
    out.SetNull();
    return;
  }
  // The value bytes follow a header whose size depends on the base type
  // (byte 0): decimal and numeric keep precision and scale, the time types
  // their scale, varchar and the Unicode types length and collation, the
  // binary types their length.
  const std::span<const uint8_t> v = column.addedColumnVariant;
  size_t header = 2;
  if (!v.empty()) {
    switch (v[0]) {
      case 106: case 108: case 165: case 173: header = 4; break;
      case 41: case 42: case 43: header = 3; break;
      case 167: case 231: case 239: header = 8; break;
      default: break;
    }
  }
  const bool has_raw = v.size() > header && v[0] != 165 && v[0] != 173;  // binary: from the "0x" text
  DecodeTypedValue(column, column.typeCode, has_raw ? v.subspan(header) : std::span<const uint8_t>(), has_raw,
                   *column.addedColumnValue, out);
}

}  // namespace quill
