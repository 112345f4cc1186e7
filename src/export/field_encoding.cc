#include "export/field_encoding.h"

#include <charconv>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quill {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr int64_t kLargestExactInteger = int64_t{1} << 53;

void AppendInteger(std::string& out, int64_t v) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
  out.append(buffer, result.ptr);
}

void AppendFloat(std::string& out, double v, bool single) {
  if (!std::isfinite(v)) {
    out += ShortestFloatText(v, single);
    return;
  }
  char buffer[64];
  const auto result = single ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(v))
                             : std::to_chars(buffer, buffer + sizeof buffer, v);
  out.append(buffer, result.ptr);
}

// Significant digits of a decimal text ("-001.2300" has 5: leading zeros
// do not count, trailing ones do not matter for a double either).
bool DecimalFitsDouble(std::string_view text) {
  size_t first = text.find_first_of("123456789");
  if (first == std::string_view::npos) return true;
  size_t last = text.find_last_of("123456789");
  size_t digits = 0;
  for (size_t i = first; i <= last; ++i) digits += text[i] != '.';
  return digits <= 15;
}

// Length of the UTF-8 sequence at `i`, 0 when it is not valid.
size_t Utf8Length(std::string_view s, size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  }
  return n;
}

}  // namespace

void AppendValueText(std::string& out, const TypedValue& value) {
  switch (value.kind) {
    case ValueKind::kNull:
      return;
    case ValueKind::kInteger:
    case ValueKind::kBoolean:
      AppendInteger(out, value.integer);
      return;
    case ValueKind::kFloat:
      AppendFloat(out, value.real, value.single);
      return;
    case ValueKind::kBinary:
      out += "0x";
      for (char c : value.text) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(kHexDigits[b >> 4]);
        out.push_back(kHexDigits[b & 15]);
      }
      return;
    default:
      out += value.text;
  }
}

namespace {

// Whether a CSV field must be quoted: it holds a comma, a quote or a line
// break. One pass over the text (find_first_of would run memchr once per
// character it looks for), sixteen bytes at a time where it can.
bool NeedsCsvQuotes(std::string_view text) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i comma = _mm_set1_epi8(',');
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  for (; i + 16 <= text.size(); i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, comma), _mm_cmpeq_epi8(bytes, quote)),
                                      _mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf)));
    if (_mm_movemask_epi8(hits) != 0) return true;
  }
#endif
  bool special = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    special |= (c == ',') | (c == '"') | (c == '\r') | (c == '\n');
  }
  return special;
}

}  // namespace

void AppendCsvField(std::string& out, std::string_view text) {
  if (!NeedsCsvQuotes(text)) {
    out.append(text);
    return;
  }
  out.push_back('"');
  for (char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

void AppendTsvField(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out.push_back(c);
    }
  }
}

void AppendJsonString(std::string& out, std::string_view text) {
  out.push_back('"');
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const size_t n = Utf8Length(text, i);
      if (n == 0) {
        out += "\xEF\xBF\xBD";
        ++i;
      } else {
        out.append(text.substr(i, n));
        i += n;
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out.push_back(kHexDigits[c >> 4]);
          out.push_back(kHexDigits[c & 15]);
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
    ++i;
  }
  out.push_back('"');
}

void AppendBase64(std::string& out, std::string_view bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = (uint32_t{static_cast<unsigned char>(bytes[i])} << 16) |
                       (uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8) |
                       static_cast<unsigned char>(bytes[i + 2]);
    out.push_back(kAlphabet[v >> 18]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back(kAlphabet[v & 63]);
  }
  const size_t rest = bytes.size() - i;
  if (rest == 0) return;
  uint32_t v = uint32_t{static_cast<unsigned char>(bytes[i])} << 16;
  if (rest == 2) v |= uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8;
  out.push_back(kAlphabet[v >> 18]);
  out.push_back(kAlphabet[(v >> 12) & 63]);
  out.push_back(rest == 2 ? kAlphabet[(v >> 6) & 63] : '=');
  out.push_back('=');
}

void AppendJsonValue(std::string& out, const TypedValue& value) {
  switch (value.kind) {
    case ValueKind::kNull:
      out += "null";
      return;
    case ValueKind::kBoolean:
      out += value.integer != 0 ? "true" : "false";
      return;
    case ValueKind::kInteger:
      if (value.integer > -kLargestExactInteger && value.integer < kLargestExactInteger) {
        AppendInteger(out, value.integer);
      } else {
        out.push_back('"');
        AppendInteger(out, value.integer);
        out.push_back('"');
      }
      return;
    case ValueKind::kDecimal:
      if (DecimalFitsDouble(value.text)) {
        out += value.text;
      } else {
        AppendJsonString(out, value.text);
      }
      return;
    case ValueKind::kFloat:
      if (std::isfinite(value.real)) {
        AppendFloat(out, value.real, value.single);
      } else {
        AppendJsonString(out, ShortestFloatText(value.real, value.single));
      }
      return;
    case ValueKind::kBinary:
      out.push_back('"');
      AppendBase64(out, value.text);
      out.push_back('"');
      return;
    default:
      AppendJsonString(out, value.text);
  }
}

}  // namespace quill
