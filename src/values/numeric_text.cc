// Text of the numeric types, binary and uniqueidentifier values. All stored
// numbers are little-endian. Output never depends on the process locale:
// digits are produced here or by fmt, which ignores the locale by default.
#include <cmath>
#include <cstdint>
#include <string>


#include "common/printf_text.h"
#include "values/decimal_digits.h"
#include "values/value_text.h"

namespace quill {

namespace {

// "-" for a negative amount, then |amount| with at least five digits and a
// "." before the last four: 0 -> "0.0000", 12345 -> "1.2345".
std::string ScaledByTenThousand(int64_t amount) {
  const bool negative = amount < 0;
  // The magnitude in unsigned arithmetic, so INT64_MIN has one too.
  uint64_t magnitude = negative ? uint64_t{0} - static_cast<uint64_t>(amount)
                                : static_cast<uint64_t>(amount);
  std::string digits = std::to_string(magnitude);
  if (digits.size() < 5) digits.insert(0, 5 - digits.size(), '0');
  digits.insert(digits.size() - 4, 1, '.');
  return negative ? "-" + digits : digits;
}

}  // namespace

// money: 8 bytes, signed 64-bit little-endian, the amount x 10000.
// 39 30 00 00 00 00 00 00 (12345) -> "1.2345"; -123 -> "-0.0123".
std::string MoneyText(int64_t amount) { return ScaledByTenThousand(amount); }

// smallmoney: 4 bytes, signed 32-bit little-endian, the amount x 10000,
// always four decimals: 10000 -> "1.0000", -1 -> "-0.0001". Printing the
// double amount with at least four decimals and cutting after the fourth
// gives exactly the stored digits, so the digits are taken from the integer.
std::string SmallMoneyText(int32_t amount) { return ScaledByTenThousand(amount); }

// float: 8 bytes, IEEE double little-endian. Printed with "%.*f" and
// 15 - k decimals, k = ceiling(log10(|v|)) (six decimals for 0), then
// trailing zeros and a bare trailing "." removed:
// 2.5 -> "2.5", 100 -> "100", -0.001 -> "-0.001", 2e14 -> "200000000000000".
std::string FloatText(double value, bool zero_for_non_finite) {
  if (!std::isfinite(value)) {
    if (zero_for_non_finite) return "0";
    if (std::isnan(value)) return "nan";
    return value < 0 ? "-inf" : "inf";
  }
  int precision = 6;
  const double magnitude = std::fabs(value);
  if (magnitude > 0) {
    const int k = static_cast<int>(std::ceil(std::log10(magnitude)));
    if (15 - k >= 0) precision = 15 - k;  // a negative precision means the default
  }
  std::string text = PrintfText("%.*f", static_cast<int>(precision), value);
  if (text.find('.') != std::string::npos) {
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
  }
  if (text == "-0") text = "0";
  return text;
}

// real: 4 bytes, IEEE single little-endian, widened to double and written
// as a stream writes a double: six significant digits, exponent form for
// exponents below -4 or from 6 up, trailing zeros cut:
// 0.5 -> "0.5", 1234567 -> "1.23457e+06", 0.000001 -> "1e-06".
std::string RealText(float value, bool zero_for_non_finite) {
  const double widened = value;
  if (!std::isfinite(widened)) {
    if (zero_for_non_finite) return "0";
    if (std::isnan(widened)) return "nan";
    return widened < 0 ? "-inf" : "inf";
  }
  return PrintfText("%.6g", widened);
}

// decimal/numeric: byte 0 is the sign (0 negative, anything else
// positive), then an unsigned little-endian integer of 4, 8, 12 or 16 bytes
// for precision up to 9, 10-19, 20-28 and 29 up. A "." stands before the
// last `scale` digits: 01 39 30 00 00 with (5,2) -> "123.45"; 00 39 30 00 00
// -> "-123.45"; 50 with scale 2 -> "0.50"; 5 with scale 3 -> "0.005"; 0 with
// scale 2 -> "0.00". Digits beyond the precision are cut from the end while
// there are decimals; a value that still has too many digits gives "".
std::string DecimalText(std::span<const uint8_t> bytes, int32_t precision, int32_t scale) {
  if (precision < 0 || scale < 0) return {};
  size_t width = 16;
  if (precision <= 9) {
    width = 4;
  } else if (precision <= 19) {
    width = 8;
  } else if (precision <= 28) {
    width = 12;
  }
  if (bytes.size() < width + 1) return {};
  const bool negative = bytes[0] == 0;
  unsigned __int128 v = 0;
  for (size_t i = width; i > 0; --i) v = (v << 8) | bytes[i];
  std::string text = DecimalDigits(v);
  const bool is_zero = text.empty();
  int32_t count = static_cast<int32_t>(text.size());
  const int32_t digit_count = count;
  if (scale > 0) {
    if (digit_count <= scale) {
      // Leading zeros up to the scale, then "0." in front.
      text.insert(0, static_cast<size_t>(scale - digit_count), '0');
      text.insert(0, "0.");
    } else {
      text.insert(text.size() - static_cast<size_t>(scale), 1, '.');
    }
  } else if (is_zero) {
    text = "0";
  }
  int32_t s = scale;
  while (count > precision && s > 0) {
    text.pop_back();
    --count;
    --s;
  }
  if (!text.empty() && text.back() == '.') text.pop_back();
  if (count > precision) return {};
  if (negative && !is_zero) text.insert(0, 1, '-');
  return text;
}

// uniqueidentifier: 16 bytes; the first three groups are little-endian
// (bytes 3 2 1 0, 5 4, 7 6), the last two in stored order (8 9, 10-15):
// 33 22 11 00 55 44 77 66 88 99 AA BB CC DD EE FF ->
// "00112233-4455-6677-8899-AABBCCDDEEFF".
std::string GuidText(std::span<const uint8_t> bytes) {
  if (bytes.size() < 16) return {};
  static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::string out;
  out.reserve(36);
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const uint8_t b = bytes[static_cast<size_t>(kOrder[i])];
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0x0F]);
  }
  return out;
}

}  // namespace quill
