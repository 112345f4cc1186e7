// Binary XML to XML text.
//
// Token grammar read here ({x} zero or more, [x] optional, hex = literal byte):
//
//   document   = header [xmldecl] content
//   header     = DF FF version(00|01|02) B0 04          ; code page 1200
//   content    = { element | cdata | pi | comment | atom | metadata
//                | nested | doctype }                    ; doctype: prolog only
//   element    = F8 qref [ attribute {attribute} F5 ] content F7
//   attribute  = {metadata} F6 qref { metadata | atom }
//   cdata      = F2 textdata { F2 textdata } F1
//   nested     = EC document EB                         ; fresh name tables
//   comment    = F3 textdata
//   pi         = F4 nref textdata
//   xmldecl    = FE textdata [ FD textdata ] standalone(00|01|02)
//   doctype    = FC textdata [ FB textdata ] [ FA textdata ] [ F9 textdata ]
//   metadata   = F0 textdata                            ; define next name
//              | EF nref nref nref                      ; next qname: uri, prefix, local
//              | EA mb32-length bytes                   ; extension, skipped
//              | E9                                     ; flush both tables
//   atom       = code payload, codes 01..18, 1B, 7A..7F, 81..8C
//   textdata   = mb32 count, count UTF-16LE code units   (64: mb64 count)
//   mb32/mb64  = 7 bits per byte, low group first, bit 7 = more follows;
//                at most 5 / 10 bytes, value <= 2^31-1 / 2^63-1
//
// There is no end token: the value ends where its bytes end, and every
// element and nested document must be closed by then. Decoding is a single
// loop with explicit stacks (no recursion); element depth and nested-document
// depth are capped, and so is the output size.
//
// Choices where the format leaves room, each made so the output stays
// well-formed XML:
// - Versions 00, 01 and 02 are accepted; the version-2 date/time atoms
//   (7A..7F) are accepted whatever the version byte says.
// - Decimals read precision and scale bytes before the sign byte (two bytes,
//   as the format's prose and its example have it).
// - SQL-TINYINT (07) is signed, XSD-BYTE (88) unsigned.
// - SQL-DATETIME stores the day count first, then the 1/300 s ticks.
// - The offset date/time atoms store UTC; they print local time plus the
//   zone, and a zero offset prints as "Z". The sqltime payload carries its
//   own precision byte (offset atoms are 9..11 bytes after the code).
// - Consecutive atoms form one text node or attribute value and are joined
//   with nothing between them, except that two consecutive non-string typed
//   atoms are separated by one space (a typed list stored one item per atom).
// - Floats print the shortest digit string that reads back to the same value:
//   plain notation for 1E-6 <= |v| < 1E6, otherwise d.dddEn.
// - Namespaces: a declaration is an attribute with empty local name and URI
//   whose prefix string is "xmlns" or "xmlns:p". A prefix used by an element
//   or attribute but not bound to its URI in scope gets a declaration added
//   to the start tag; an unprefixed attribute in a namespace gets an invented
//   prefix nsN. A second declaration of one prefix on one element, and a
//   second attribute with the same printed name, are dropped (first wins).
// - The XML declaration prints as <?xml version="V"[ standalone="yes|no"]?>
//   without an encoding (the output is UTF-8, XML's default); inside a nested
//   document the declaration and DOCTYPE are not printed.
// - Text and attribute values escape & < > (and " TAB LF in attributes, CR
//   everywhere) as character references. Characters XML 1.0 does not allow
//   (C0 controls other than TAB LF CR, U+FFFE, U+FFFF, unpaired surrogates)
//   become U+FFFD. A "--" in a comment prints as "- -" and a trailing "-"
//   gets a space; "?>" in PI data prints as "? >"; "]]>" in CDATA splits the
//   section. A whitespace-only text node writes its last character as a
//   character reference, so re-parsing keeps it.
// - F5 directly after F8 qref (no attributes) is accepted.
#include "values/xml_text_decoder.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

#include "common/little_endian.h"
#include "common/text_encoding.h"
#include "values/calendar.h"
#include "values/decimal_digits.h"

namespace quill {
namespace {

constexpr size_t kMaxElementDepth = 4096;
constexpr size_t kMaxNestedDocuments = 64;
// Output cap: three bytes (F8 01 F7) can print a long name, so the output may
// legitimately be larger than the input, but not without bound.
constexpr size_t kOutputPerInputByte = 256;
constexpr size_t kOutputSlack = 1 << 16;

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kXmlnsNamespace = "http://www.w3.org/2000/xmlns/";

// ---------------------------------------------------------------------------
// The shared bounded reader with the format's variable-length integers.

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  bool AtEnd() const { return bytes_.remaining() == 0; }
  size_t Remaining() const { return bytes_.remaining(); }
  std::optional<uint8_t> Peek() const { return bytes_.ReadAt<uint8_t>(bytes_.position()); }
  std::optional<uint8_t> Byte() { return bytes_.Read<uint8_t>(); }
  template <typename T>
  std::optional<T> Fixed() {
    return bytes_.Read<T>();
  }
  // Unsigned little-endian integer of n bytes (n <= 8).
  std::optional<uint64_t> Unsigned(size_t n) { return bytes_.ReadUnsigned(n); }
  std::optional<std::span<const uint8_t>> Bytes(uint64_t n) {
    if (n > Remaining()) return std::nullopt;
    return bytes_.Slice(static_cast<size_t>(n));
  }
  // mb32: at most 5 bytes, value <= 0x7FFFFFFF. mb64: at most 10 bytes,
  // value <= 0x7FFFFFFFFFFFFFFF.
  std::optional<uint64_t> Mb(bool wide) {
    const int max_bytes = wide ? 10 : 5;
    const uint64_t max_value = wide ? 0x7FFFFFFFFFFFFFFFull : 0x7FFFFFFFull;
    uint64_t v = 0;
    for (int i = 0; i < max_bytes; ++i) {
      auto b = Byte();
      if (!b) return std::nullopt;
      uint64_t group = *b & 0x7F;
      if (i == 9 && group != 0) return std::nullopt;
      v |= group << (7 * i);
      if ((*b & 0x80) == 0) {
        if (v > max_value) return std::nullopt;
        return v;
      }
    }
    return std::nullopt;
  }
  std::optional<uint64_t> Mb32() { return Mb(false); }
  std::optional<uint64_t> Mb64() { return Mb(true); }

  // textdata / textdata64: a count of UTF-16 code units, then the units.
  std::optional<std::span<const uint8_t>> Utf16Text(bool wide) {
    auto n = Mb(wide);
    if (!n || *n > Remaining() / 2) return std::nullopt;
    return Bytes(*n * 2);
  }

 private:
  ByteReader bytes_;
};

// ---------------------------------------------------------------------------
// Text helpers.

// Replaces what XML 1.0 cannot carry (C0 controls other than TAB LF CR,
// U+FFFE, U+FFFF) with U+FFFD. Input is UTF-8 from the conversion helpers,
// which already turned unpaired surrogates into U+FFFD.
std::string CleanXmlChars(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) {
      out += "\xEF\xBF\xBD";
    } else if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
               (static_cast<unsigned char>(text[i + 2]) == 0xBE ||
                static_cast<unsigned char>(text[i + 2]) == 0xBF)) {
      out += "\xEF\xBF\xBD";
      i += 2;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

void AppendEscaped(std::string& out, std::string_view text, bool attribute) {
  for (char ch : text) {
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\r': out += "&#xD;"; break;
      case '"':
        if (attribute) out += "&quot;"; else out += ch;
        break;
      case '\t':
        if (attribute) out += "&#x9;"; else out += ch;
        break;
      case '\n':
        if (attribute) out += "&#xA;"; else out += ch;
        break;
      default: out += ch;
    }
  }
}

std::string Base64(std::span<const uint8_t> b) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((b.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= b.size(); i += 3) {
    uint32_t v = (uint32_t{b[i]} << 16) | (uint32_t{b[i + 1]} << 8) | b[i + 2];
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  size_t rest = b.size() - i;
  if (rest == 1) {
    uint32_t v = uint32_t{b[i]} << 16;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (rest == 2) {
    uint32_t v = (uint32_t{b[i]} << 16) | (uint32_t{b[i + 1]} << 8);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

void AppendHexByte(std::string& out, uint8_t b) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += kHex[b >> 4];
  out += kHex[b & 15];
}

// Canonical decimal: magnitude (little-endian 32-bit limbs) scaled by
// 10^-scale; trailing fraction zeros and a bare point are dropped.
std::string CanonicalDecimal(std::array<uint32_t, 4> limbs, int scale, bool negative) {
  unsigned __int128 magnitude = 0;
  for (int i = 3; i >= 0; --i) magnitude = (magnitude << 32) | limbs[static_cast<size_t>(i)];
  std::string digits = DecimalDigits(magnitude);
  while (digits.size() < static_cast<size_t>(scale) + 1) digits.insert(digits.begin(), '0');
  std::string int_part = digits.substr(0, digits.size() - scale);
  std::string frac = digits.substr(digits.size() - scale);
  while (!frac.empty() && frac.back() == '0') frac.pop_back();
  bool is_zero = int_part.find_first_not_of('0') == std::string::npos && frac.empty();
  std::string out = (negative && !is_zero) ? "-" : "";
  out += int_part;
  if (!frac.empty()) out += "." + frac;
  return out;
}

std::string CanonicalScaled(uint64_t magnitude, int scale, bool negative) {
  return CanonicalDecimal({static_cast<uint32_t>(magnitude), static_cast<uint32_t>(magnitude >> 32), 0, 0},
                          scale, negative);
}

template <typename F>
std::string FloatText(F v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
  if (v == 0) return std::signbit(v) ? "-0.0E0" : "0.0E0";
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof(buf), v, std::chars_format::scientific);
  std::string_view s(buf, static_cast<size_t>(res.ptr - buf));
  bool negative = false;
  if (!s.empty() && s[0] == '-') {
    negative = true;
    s.remove_prefix(1);
  }
  size_t e = s.find('e');
  std::string digits;
  for (char c : s.substr(0, e)) {
    if (c != '.') digits += c;
  }
  int exponent = 0;
  std::from_chars(s.data() + e + 1 + (s[e + 1] == '+' ? 1 : 0), s.data() + s.size(), exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out = negative ? "-" : "";
  if (exponent >= -6 && exponent < 6) {
    if (exponent >= 0) {
      size_t int_len = static_cast<size_t>(exponent) + 1;
      std::string int_part = digits.substr(0, std::min(int_len, digits.size()));
      while (int_part.size() < int_len) int_part += '0';
      out += int_part;
      if (digits.size() > int_len) out += "." + digits.substr(int_len);
    } else {
      out += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    }
  } else {
    out += digits.substr(0, 1);
    out += ".";
    out += digits.size() > 1 ? digits.substr(1) : "0";
    out += "E" + std::to_string(exponent);
  }
  return out;
}

void AppendDate(std::string& out, int64_t year, unsigned month, unsigned day) {
  if (year < 0) out += '-';
  AppendDigits(out, year < 0 ? static_cast<uint64_t>(-year) : static_cast<uint64_t>(year), 4);
  out += '-';
  AppendDigits(out, month, 2);
  out += '-';
  AppendDigits(out, day, 2);
}

// The date of a day number (0 = 0001-01-01).
void AppendCivil(std::string& out, int64_t day_number) {
  const CivilDate d = DateFromDayNumber(day_number);
  AppendDate(out, d.year, static_cast<unsigned>(d.month), static_cast<unsigned>(d.day));
}

// hh:mm:ss, then the fraction (frac of `digits` digits) with trailing zeros
// dropped, nothing when it is zero.
void AppendTime(std::string& out, uint64_t seconds_of_day, uint64_t frac, int digits) {
  AppendDigits(out, seconds_of_day / 3600, 2);
  out += ':';
  AppendDigits(out, seconds_of_day / 60 % 60, 2);
  out += ':';
  AppendDigits(out, seconds_of_day % 60, 2);
  if (digits > 0 && frac != 0) {
    std::string f;
    AppendDigits(f, frac, digits);
    while (!f.empty() && f.back() == '0') f.pop_back();
    out += '.' + f;
  }
}

void AppendZone(std::string& out, int64_t minutes_east) {
  if (minutes_east == 0) {
    out += 'Z';
    return;
  }
  out += minutes_east < 0 ? '-' : '+';
  uint64_t m = static_cast<uint64_t>(minutes_east < 0 ? -minutes_east : minutes_east);
  AppendDigits(out, m / 60, 2);
  out += ':';
  AppendDigits(out, m % 60, 2);
}

bool IsStringAtom(uint8_t code) {
  return code == 0x0D || code == 0x0E || code == 0x10 || code == 0x11 || code == 0x16 || code == 0x18;
}

bool IsAtomCode(uint8_t t) {
  return (t >= 0x01 && t <= 0x18 && t != 0x15) || t == 0x1B || (t >= 0x7A && t <= 0x7F) ||
         (t >= 0x81 && t <= 0x8C);
}

bool IsMetadata(uint8_t t) { return t == 0xE9 || t == 0xEA || t == 0xEF || t == 0xF0; }

// ---------------------------------------------------------------------------
// The decoder.

struct QName {
  uint32_t uri;
  uint32_t prefix;
  uint32_t local;
};

struct NameScope {
  std::vector<std::string> names{std::string()};  // entry 0: the empty name
  std::vector<QName> qnames{QName{0, 0, 0}};      // entry 0: invalid
};

struct ResolvedQName {
  std::string uri;
  std::string prefix;
  std::string local;
};

enum class Prolog { kStart, kProlog, kContent };

struct DocumentState {
  size_t open_at_start;
  Prolog prolog;
  bool has_doctype;
};

struct Attribute {
  ResolvedQName name;
  std::string raw_value;  // not yet escaped
};

class Decoder {
 public:
  explicit Decoder(std::span<const uint8_t> bytes)
      : in_(bytes), output_cap_(bytes.size() * kOutputPerInputByte + kOutputSlack) {}

  std::optional<std::string> Run() {
    if (!ReadHeader()) return std::nullopt;
    scopes_.emplace_back();
    documents_.push_back({0, Prolog::kStart, false});
    frames_.push_back({{"xml", std::string(kXmlNamespace)}, {"", ""}});
    // Every step consumes at least one byte, so the loop is bounded by the
    // input length.
    while (!in_.AtEnd()) {
      if (!Step()) return std::nullopt;
      if (out_.size() > output_cap_) return std::nullopt;
    }
    FlushText();
    if (elements_.size() != 0 || documents_.size() != 1 || start_tag_open_) return std::nullopt;
    return std::move(out_);
  }

 private:
  bool ReadHeader() {
    auto sig = in_.Fixed<uint16_t>();
    auto version = in_.Byte();
    auto code_page = in_.Fixed<uint16_t>();
    if (!sig || !version || !code_page) return false;
    return *sig == 0xFFDF && *version <= 2 && *code_page == 1200;
  }

  DocumentState& Doc() { return documents_.back(); }
  NameScope& Scope() { return scopes_.back(); }

  bool Metadata(uint8_t t) {
    switch (t) {
      case 0xE9:
        Scope() = NameScope();
        return true;
      case 0xEA: {
        auto n = in_.Mb32();
        return n && in_.Bytes(*n).has_value();
      }
      case 0xEF: {
        auto u = in_.Mb32();
        auto p = in_.Mb32();
        auto l = in_.Mb32();
        size_t size = Scope().names.size();
        if (!u || !p || !l || *u >= size || *p >= size || *l >= size) return false;
        Scope().qnames.push_back({static_cast<uint32_t>(*u), static_cast<uint32_t>(*p), static_cast<uint32_t>(*l)});
        return true;
      }
      case 0xF0: {
        auto text = in_.Utf16Text(false);
        if (!text) return false;
        Scope().names.push_back(CleanXmlChars(Utf16LeToUtf8(*text)));
        return true;
      }
    }
    return false;
  }

  std::optional<ResolvedQName> ReadQRef() {
    auto q = in_.Mb32();
    if (!q || *q == 0 || *q >= Scope().qnames.size()) return std::nullopt;
    const QName& qn = Scope().qnames[*q];
    const auto& names = Scope().names;
    return ResolvedQName{names[qn.uri], names[qn.prefix], names[qn.local]};
  }

  std::optional<std::string> ReadText() {
    auto text = in_.Utf16Text(false);
    if (!text) return std::nullopt;
    return CleanXmlChars(Utf16LeToUtf8(*text));
  }

  // A name printed in markup (element, attribute, namespace prefix,
  // processing instruction target, DOCTYPE root): not empty, and without
  // blanks, control characters, markup characters or (but for a DOCTYPE
  // root) a colon, which joins the parts of a printed qualified name. The
  // server stores only names its XML parser accepted, so any other is
  // damage and the value is malformed.
  static bool IsPrintableName(std::string_view name, bool allow_colon = false) {
    if (name.empty()) return false;
    for (char c : name) {
      if (static_cast<unsigned char>(c) <= 0x20 || std::string_view("<>&\"'=/?![]").find(c) != std::string_view::npos ||
          (c == ':' && !allow_colon)) {
        return false;
      }
    }
    return true;
  }
  static bool IsPrintableQName(const ResolvedQName& q) {
    return IsPrintableName(q.local) && (q.prefix.empty() || IsPrintableName(q.prefix));
  }

  static std::string PrintedName(const ResolvedQName& q) {
    return q.prefix.empty() ? q.local : q.prefix + ":" + q.local;
  }

  void CloseStartTag() {
    if (start_tag_open_) {
      out_ += '>';
      start_tag_open_ = false;
    }
  }

  // Reads one atom's payload (the code is already consumed) and returns its
  // text, not yet escaped. For a QName atom inside a start tag, the qname is
  // also recorded so its prefix gets bound.
  std::optional<std::string> ReadAtom(uint8_t code, std::vector<ResolvedQName>* qname_uses) {
    switch (code) {
      case 0x01: {
        auto v = in_.Fixed<int16_t>();
        if (!v) return std::nullopt;
        return std::to_string(*v);
      }
      case 0x02: {
        auto v = in_.Fixed<int32_t>();
        if (!v) return std::nullopt;
        return std::to_string(*v);
      }
      case 0x03: {
        auto v = in_.Fixed<uint32_t>();
        if (!v) return std::nullopt;
        float f;
        std::memcpy(&f, &*v, sizeof(f));
        return FloatText(f);
      }
      case 0x04: {
        auto v = in_.Fixed<uint64_t>();
        if (!v) return std::nullopt;
        double d;
        std::memcpy(&d, &*v, sizeof(d));
        return FloatText(d);
      }
      case 0x05:
      case 0x14: {
        int64_t v;
        if (code == 0x05) {
          auto r = in_.Fixed<int64_t>();
          if (!r) return std::nullopt;
          v = *r;
        } else {
          auto r = in_.Fixed<int32_t>();
          if (!r) return std::nullopt;
          v = *r;
        }
        uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        return CanonicalScaled(magnitude, 4, v < 0);
      }
      case 0x06:
      case 0x88: {
        auto v = in_.Byte();
        if (!v) return std::nullopt;
        return std::to_string(*v);
      }
      case 0x07: {
        auto v = in_.Fixed<int8_t>();
        if (!v) return std::nullopt;
        return std::to_string(*v);
      }
      case 0x08: {
        auto v = in_.Fixed<int64_t>();
        if (!v) return std::nullopt;
        return std::to_string(*v);
      }
      case 0x09: {
        auto b = in_.Bytes(16);
        if (!b) return std::nullopt;
        static constexpr int kOrder[16] = {3, 2, 1, 0, -1, 5, 4, -1, 7, 6, -1, 8, 9, -1, 10, 11};
        std::string out;
        for (int i : kOrder) {
          if (i < 0) out += '-'; else AppendHexByte(out, (*b)[static_cast<size_t>(i)]);
        }
        for (size_t i = 12; i < 16; ++i) AppendHexByte(out, (*b)[i]);
        return out;
      }
      case 0x0A:
      case 0x0B:
      case 0x87: return ReadDecimal();
      case 0x0C:
      case 0x1B:
      case 0x85:
      case 0x84:
      case 0x0F:
      case 0x17: {
        bool wide = code == 0x0F || code == 0x17;
        auto n = in_.Mb(wide);
        if (!n) return std::nullopt;
        auto b = in_.Bytes(*n);
        if (!b) return std::nullopt;
        if (code != 0x84) return Base64(*b);
        std::string out;
        for (uint8_t x : *b) AppendHexByte(out, x);
        return out;
      }
      case 0x0D:
      case 0x10:
      case 0x16: {
        auto n = in_.Mb(code != 0x0D);
        if (!n || *n < 4) return std::nullopt;
        auto cp = in_.Fixed<int32_t>();
        if (!cp) return std::nullopt;
        auto b = in_.Bytes(*n - 4);
        if (!b) return std::nullopt;
        if (*cp == 1200) {
          if (b->size() % 2 != 0) return std::nullopt;
          return CleanXmlChars(Utf16LeToUtf8(*b));
        }
        return CleanXmlChars(CodePageToUtf8(*b, *cp));
      }
      case 0x0E:
      case 0x11:
      case 0x18: {
        auto text = in_.Utf16Text(code != 0x0E);
        if (!text) return std::nullopt;
        return CleanXmlChars(Utf16LeToUtf8(*text));
      }
      case 0x12: {
        auto days = in_.Fixed<int32_t>();
        auto ticks = in_.Fixed<uint32_t>();
        if (!days || !ticks) return std::nullopt;
        uint64_t ms = (uint64_t{*ticks} * 10 + 1) / 3;
        int64_t day = *days + static_cast<int64_t>(ms / 86400000);
        ms %= 86400000;
        std::string out;
        AppendCivil(out, day + kDaysTo1900);
        out += 'T';
        AppendTime(out, ms / 1000, ms % 1000, 3);
        return out;
      }
      case 0x13: {
        auto days = in_.Fixed<uint16_t>();
        auto minutes = in_.Fixed<uint16_t>();
        if (!days || !minutes) return std::nullopt;
        int64_t day = int64_t{*days} + *minutes / 1440;
        std::string out;
        AppendCivil(out, day + kDaysTo1900);
        out += 'T';
        AppendTime(out, uint64_t{*minutes} % 1440 * 60, 0, 0);
        return out;
      }
      case 0x81:
      case 0x82:
      case 0x83: return ReadXsdDateTime(code);
      case 0x86: {
        auto v = in_.Byte();
        if (!v) return std::nullopt;
        return std::string(*v == 0 ? "false" : "true");
      }
      case 0x89: {
        auto v = in_.Fixed<uint16_t>();
        if (!v) return std::nullopt;
        return std::to_string(*v);
      }
      case 0x8A: {
        auto v = in_.Fixed<uint32_t>();
        if (!v) return std::nullopt;
        return std::to_string(*v);
      }
      case 0x8B: {
        auto v = in_.Fixed<uint64_t>();
        if (!v) return std::nullopt;
        return std::to_string(*v);
      }
      case 0x8C: {
        auto q = ReadQRef();
        if (!q || q->local.empty()) return std::nullopt;
        if (qname_uses) qname_uses->push_back(*q);
        return PrintedName(*q);
      }
      case 0x7A:
      case 0x7B:
      case 0x7C:
      case 0x7D:
      case 0x7E:
      case 0x7F: return ReadV2DateTime(code);
    }
    return std::nullopt;
  }

  std::optional<std::string> ReadDecimal() {
    auto len = in_.Mb32();
    if (!len || (*len != 7 && *len != 11 && *len != 15 && *len != 19)) return std::nullopt;
    auto precision = in_.Byte();
    auto scale = in_.Byte();
    auto sign = in_.Byte();
    if (!precision || !scale || !sign) return std::nullopt;
    if (*precision == 0 || *precision > 38 || *scale > *precision || *sign > 1) return std::nullopt;
    std::array<uint32_t, 4> limbs{};
    for (size_t i = 0; i < (*len - 3) / 4; ++i) {
      auto limb = in_.Fixed<uint32_t>();
      if (!limb) return std::nullopt;
      limbs[i] = *limb;
    }
    return CanonicalDecimal(limbs, *scale, *sign == 0);
  }

  std::optional<std::string> ReadXsdDateTime(uint8_t code) {
    auto raw = in_.Fixed<uint64_t>();
    if (!raw) return std::nullopt;
    const uint64_t expected_tag = code == 0x81 ? 0 : code == 0x83 ? 1 : 2;
    if ((*raw & 3) != expected_tag) return std::nullopt;
    uint64_t w = *raw >> 2;
    std::string out;
    if (code == 0x83) {
      int64_t adj = static_cast<int64_t>(w % 1740) - 840;
      uint64_t dmy = w / 1740;
      unsigned day = static_cast<unsigned>(dmy % 31 + 1);
      unsigned month = static_cast<unsigned>(dmy / 31 % 12 + 1);
      int64_t year = static_cast<int64_t>(dmy / 372) - 9999;
      AppendDate(out, year, month, day);
      AppendZone(out, -adj);
      return out;
    }
    uint64_t ms = w % 1000;
    w /= 1000;
    uint64_t s = w % 60;
    w /= 60;
    uint64_t mi = w % 60;
    w /= 60;
    uint64_t h = w % 24;
    w /= 24;
    if (code == 0x81) {
      if (w != 0) return std::nullopt;
    } else {
      unsigned day = static_cast<unsigned>(w % 31 + 1);
      w /= 31;
      unsigned month = static_cast<unsigned>(w % 12 + 1);
      w /= 12;
      AppendDate(out, static_cast<int64_t>(w) - 9999, month, day);
      out += 'T';
    }
    AppendTime(out, h * 3600 + mi * 60 + s, ms, 3);
    out += 'Z';
    return out;
  }

  std::optional<std::string> ReadV2DateTime(uint8_t code) {
    int precision = 0;
    uint64_t count = 0;
    if (code != 0x7F) {
      auto p = in_.Byte();
      if (!p || *p > 7) return std::nullopt;
      precision = *p;
      auto c = in_.Unsigned(precision <= 2 ? 3 : precision <= 4 ? 4 : 5);
      if (!c) return std::nullopt;
      count = *c;
    }
    auto date = in_.Unsigned(3);
    if (!date) return std::nullopt;
    int64_t zone = 0;
    if (code == 0x7A || code == 0x7B || code == 0x7C) {
      auto z = in_.Fixed<int16_t>();
      if (!z) return std::nullopt;
      zone = *z;
    }
    uint64_t unit = 1;
    for (int i = 0; i < precision; ++i) unit *= 10;
    // Seconds since 0001-01-01 00:00 (2^40 / 10^0 / 86400 days at most: no
    // overflow), plus the fraction.
    int64_t seconds = static_cast<int64_t>(*date) * 86400 + static_cast<int64_t>(count / unit);
    uint64_t frac = count % unit;
    std::string out;
    if (code == 0x7F || code == 0x7C) {
      AppendCivil(out, static_cast<int64_t>(*date));
      if (code == 0x7C) AppendZone(out, zone);
      return out;
    }
    seconds += zone * 60;
    int64_t day = FloorDiv(seconds, 86400);
    uint64_t second_of_day = static_cast<uint64_t>(seconds - day * 86400);
    if (code == 0x7B || code == 0x7E) {
      AppendCivil(out, day);
      out += 'T';
    }
    AppendTime(out, second_of_day, frac, precision);
    if (code == 0x7A || code == 0x7B) AppendZone(out, zone);
    return out;
  }

  // Adds a text atom to the current text run. `last_was_typed_atom_` tracks
  // whether the previous item of the run was a non-string typed atom.
  bool ContentAtom(uint8_t code) {
    auto text = ReadAtom(code, nullptr);
    if (!text) return false;
    CloseStartTag();
    bool typed = !IsStringAtom(code);
    if (typed && last_was_typed_atom_) text_run_ += ' ';
    text_run_ += *text;
    last_was_typed_atom_ = typed;
    return text_run_.size() <= output_cap_;
  }

  // Writes the current text run. A run of whitespace only writes its last
  // character as a character reference, so that a reader which drops
  // whitespace-only text between tags still keeps this node.
  void FlushText() {
    last_was_typed_atom_ = false;
    if (text_run_.empty()) return;
    if (text_run_.find_first_not_of(" \t\n\r") == std::string::npos) {
      AppendEscaped(out_, std::string_view(text_run_).substr(0, text_run_.size() - 1), false);
      switch (text_run_.back()) {
        case ' ': out_ += "&#x20;"; break;
        case '\t': out_ += "&#x9;"; break;
        case '\n': out_ += "&#xA;"; break;
        default: out_ += "&#xD;"; break;
      }
    } else {
      AppendEscaped(out_, text_run_, false);
    }
    text_run_.clear();
  }

  std::optional<std::string> LookupPrefix(const std::string& prefix) const {
    for (size_t i = frames_.size(); i-- > 0;) {
      for (const auto& [p, uri] : frames_[i]) {
        if (p == prefix) return uri;
      }
    }
    return std::nullopt;
  }

  static bool IsDeclaration(const ResolvedQName& q) {
    return q.local.empty() && (q.uri.empty() || q.uri == kXmlnsNamespace) &&
           (q.prefix == "xmlns" || q.prefix.rfind("xmlns:", 0) == 0);
  }

  // Makes sure `prefix` is bound to `uri` for the element being opened,
  // adding a declaration to `extra` when it is not.
  void Bind(const std::string& prefix, const std::string& uri, std::string& extra) {
    if (prefix == "xml" || prefix == "xmlns") return;
    if (!prefix.empty() && uri.empty()) return;  // cannot be declared in XML 1.0
    for (const auto& [p, u] : frames_.back()) {
      if (p == prefix) return;  // bound on this element already; the first binding wins
    }
    auto current = LookupPrefix(prefix);
    if (current && *current == uri) return;
    frames_.back().push_back({prefix, uri});
    extra += prefix.empty() ? " xmlns=\"" : " xmlns:" + prefix + "=\"";
    AppendEscaped(extra, uri, true);
    extra += '"';
  }

  bool StartElement() {
    auto name = ReadQRef();
    if (!name || !IsPrintableQName(*name)) return false;
    if (elements_.size() >= kMaxElementDepth) return false;
    CloseStartTag();
    std::vector<Attribute> attributes;
    std::vector<ResolvedQName> qname_uses;
    // Attribute list: metadata, then F6 qref {metadata | atom}, ..., F5.
    for (;;) {
      auto t = in_.Peek();
      if (!t) return false;
      if (IsMetadata(*t)) {
        in_.Byte();
        if (!Metadata(*t)) return false;
        continue;
      }
      if (*t == 0xF6) {
        in_.Byte();
        auto attr_name = ReadQRef();
        if (!attr_name) return false;
        Attribute attr{*attr_name, ""};
        bool previous_typed = false;
        for (;;) {
          auto u = in_.Peek();
          if (!u) break;  // truncated: caught at F5 / end checks
          if (IsMetadata(*u)) {
            in_.Byte();
            if (!Metadata(*u)) return false;
            continue;
          }
          if (!IsAtomCode(*u)) break;
          in_.Byte();
          auto text = ReadAtom(*u, &qname_uses);
          if (!text) return false;
          bool typed = !IsStringAtom(*u);
          if (typed && previous_typed) attr.raw_value += ' ';
          attr.raw_value += *text;
          previous_typed = typed;
          if (attr.raw_value.size() > output_cap_) return false;
        }
        attributes.push_back(std::move(attr));
        continue;
      }
      if (*t == 0xF5) {
        in_.Byte();
        break;
      }
      if (!attributes.empty()) return false;  // attributes must end with F5
      break;
    }

    // Namespace bindings of the new element, then the start tag.
    frames_.emplace_back();
    std::string printed = PrintedName(*name);
    std::string tag = "<" + printed;
    std::vector<std::string> seen_names;
    for (const Attribute& a : attributes) {
      if (!IsDeclaration(a.name)) continue;
      std::string prefix = a.name.prefix == "xmlns" ? "" : a.name.prefix.substr(6);
      if (a.name.prefix != "xmlns" && !IsPrintableName(prefix)) return false;
      bool duplicate = false;
      for (const auto& [p, u] : frames_.back()) duplicate = duplicate || p == prefix;
      if (duplicate) continue;
      if (prefix == "xml" || prefix == "xmlns") continue;
      frames_.back().push_back({prefix, a.raw_value});
      seen_names.push_back(a.name.prefix);
      tag += " " + a.name.prefix + "=\"";
      AppendEscaped(tag, a.raw_value, true);
      tag += '"';
    }
    std::string extra;
    Bind(name->prefix, name->uri, extra);
    for (const Attribute& a : attributes) {
      if (IsDeclaration(a.name)) continue;
      if (!IsPrintableQName(a.name)) return false;
      ResolvedQName q = a.name;
      if (q.prefix.empty() && !q.uri.empty()) {
        // An unprefixed attribute is in no namespace; a namespaced one needs
        // a prefix: the first nsN that is free or already bound to the URI.
        for (int n = 1; n <= 4096 && q.prefix.empty(); ++n) {
          std::string candidate = "ns" + std::to_string(n);
          auto current = LookupPrefix(candidate);
          if (!current || *current == q.uri) q.prefix = candidate;
        }
        if (q.prefix.empty()) return false;
      }
      Bind(q.prefix, q.uri, extra);
      std::string attr_printed = PrintedName(q);
      bool duplicate = false;
      for (const auto& s : seen_names) duplicate = duplicate || s == attr_printed;
      if (duplicate) continue;
      seen_names.push_back(attr_printed);
      tag += " " + attr_printed + "=\"";
      AppendEscaped(tag, a.raw_value, true);
      tag += '"';
    }
    for (const ResolvedQName& q : qname_uses) Bind(q.prefix, q.uri, extra);
    out_ += tag;
    out_ += extra;
    start_tag_open_ = true;
    elements_.push_back(std::move(printed));
    return true;
  }

  bool EndElement() {
    if (elements_.size() <= Doc().open_at_start) return false;
    if (start_tag_open_) {
      out_ += "/>";
      start_tag_open_ = false;
    } else {
      out_ += "</" + elements_.back() + ">";
    }
    elements_.pop_back();
    frames_.pop_back();
    return true;
  }

  bool Comment() {
    auto text = ReadText();
    if (!text) return false;
    CloseStartTag();
    std::string body;
    for (char c : *text) {
      if (c == '-' && !body.empty() && body.back() == '-') body += ' ';
      body += c;
    }
    if (!body.empty() && body.back() == '-') body += ' ';
    out_ += "<!--" + body + "-->";
    return true;
  }

  bool ProcessingInstruction() {
    auto target = in_.Mb32();
    if (!target || *target == 0 || *target >= Scope().names.size()) return false;
    std::string target_name = Scope().names[*target];
    if (!IsPrintableName(target_name)) return false;
    auto data = ReadText();
    if (!data) return false;
    CloseStartTag();
    std::string body;
    for (char c : *data) {
      if (c == '>' && !body.empty() && body.back() == '?') body += ' ';
      body += c;
    }
    out_ += "<?" + target_name;
    if (!body.empty()) out_ += " " + body;
    out_ += "?>";
    return true;
  }

  bool Cdata() {
    std::string text;
    for (;;) {
      auto chunk = ReadText();
      if (!chunk) return false;
      text += *chunk;
      if (text.size() > output_cap_) return false;
      auto next = in_.Byte();
      if (!next) return false;
      if (*next == 0xF1) break;
      if (*next != 0xF2) return false;
    }
    CloseStartTag();
    out_ += "<![CDATA[";
    size_t start = 0;
    for (size_t at = text.find("]]>"); at != std::string::npos; at = text.find("]]>", start)) {
      out_.append(text, start, at + 2 - start);
      out_ += "]]><![CDATA[";
      start = at + 2;
    }
    out_.append(text, start, std::string::npos);
    out_ += "]]>";
    return true;
  }

  bool XmlDeclaration() {
    auto version = ReadText();
    if (!version) return false;
    if (in_.Peek() == std::optional<uint8_t>(0xFD)) {
      in_.Byte();
      if (!ReadText()) return false;  // the stored encoding described the original text
    }
    auto standalone = in_.Byte();
    if (!standalone || *standalone > 2) return false;
    if (documents_.size() == 1) {
      out_ += "<?xml version=\"";
      AppendEscaped(out_, *version, true);
      out_ += '"';
      if (*standalone == 1) out_ += " standalone=\"yes\"";
      if (*standalone == 2) out_ += " standalone=\"no\"";
      out_ += "?>";
    }
    return true;
  }

  static std::string QuotedLiteral(const std::string& s) {
    char q = s.find('"') == std::string::npos ? '"' : '\'';
    return std::string(1, q) + s + q;
  }

  bool Doctype() {
    auto root = ReadText();
    if (!root || !IsPrintableName(*root, /*allow_colon=*/true)) return false;
    std::optional<std::string> system_id, public_id, subset;
    for (uint8_t token : {uint8_t{0xFB}, uint8_t{0xFA}, uint8_t{0xF9}}) {
      if (in_.Peek() != std::optional<uint8_t>(token)) continue;
      in_.Byte();
      auto text = ReadText();
      if (!text) return false;
      (token == 0xFB ? system_id : token == 0xFA ? public_id : subset) = std::move(*text);
    }
    // A literal holding both quote characters cannot be quoted.
    for (const auto* literal : {&system_id, &public_id}) {
      if (*literal && (*literal)->find('"') != std::string::npos && (*literal)->find('\'') != std::string::npos) {
        return false;
      }
    }
    if (documents_.size() != 1) return true;
    out_ += "<!DOCTYPE " + *root;
    if (public_id) {
      out_ += " PUBLIC " + QuotedLiteral(*public_id);
      if (system_id) out_ += " " + QuotedLiteral(*system_id);
    } else if (system_id) {
      out_ += " SYSTEM " + QuotedLiteral(*system_id);
    }
    if (subset) out_ += " [" + *subset + "]";
    out_ += ">";
    return true;
  }

  bool Step() {
    uint8_t t = *in_.Byte();
    if (IsMetadata(t)) {
      if (Doc().prolog == Prolog::kStart) Doc().prolog = Prolog::kProlog;
      return Metadata(t);
    }
    if (IsAtomCode(t)) {
      Doc().prolog = Prolog::kContent;
      return ContentAtom(t);
    }
    FlushText();
    switch (t) {
      case 0xFE:
        if (Doc().prolog != Prolog::kStart) return false;
        Doc().prolog = Prolog::kProlog;
        return XmlDeclaration();
      case 0xFC:
        if (Doc().prolog == Prolog::kContent || Doc().has_doctype) return false;
        Doc().prolog = Prolog::kProlog;
        Doc().has_doctype = true;
        return Doctype();
      case 0xF8:
        Doc().prolog = Prolog::kContent;
        return StartElement();
      case 0xF7: return EndElement();
      case 0xF3:
      case 0xF4:
        if (Doc().prolog == Prolog::kStart) Doc().prolog = Prolog::kProlog;
        return t == 0xF3 ? Comment() : ProcessingInstruction();
      case 0xF2:
        Doc().prolog = Prolog::kContent;
        return Cdata();
      case 0xEC:
        if (documents_.size() >= kMaxNestedDocuments) return false;
        if (!ReadHeader()) return false;
        CloseStartTag();
        Doc().prolog = Prolog::kContent;
        scopes_.emplace_back();
        documents_.push_back({elements_.size(), Prolog::kStart, false});
        return true;
      case 0xEB:
        if (documents_.size() <= 1 || elements_.size() != Doc().open_at_start) return false;
        // A start tag opened before the nested document stays open only if
        // the nested document printed nothing; close it as content.
        CloseStartTag();
        scopes_.pop_back();
        documents_.pop_back();
        return true;
    }
    return false;  // F1 F5 F6 F9 FA FB FD and every unused byte
  }

  Reader in_;
  size_t output_cap_;
  std::string out_;
  std::vector<NameScope> scopes_;
  std::vector<DocumentState> documents_;
  std::vector<std::string> elements_;                                      // printed names
  std::vector<std::vector<std::pair<std::string, std::string>>> frames_;  // prefix -> uri
  bool start_tag_open_ = false;
  bool last_was_typed_atom_ = false;
  std::string text_run_;  // atoms of the text node being read, not yet escaped
};

}  // namespace

std::string DecodeXml(std::span<const uint8_t> bytes) {
  Decoder decoder(bytes);
  auto text = decoder.Run();
  return text ? std::move(*text) : std::string();
}

std::string DecodeXmlChunks(const std::vector<std::span<const uint8_t>>& chunks) {
  size_t total = 0;
  for (const auto& c : chunks) total += c.size();
  if (total == 0) return std::string();
  std::vector<uint8_t> joined;
  joined.reserve(total);
  for (const auto& c : chunks) joined.insert(joined.end(), c.begin(), c.end());
  return DecodeXml(joined);
}

}  // namespace quill
