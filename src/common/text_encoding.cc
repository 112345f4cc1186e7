#include "common/text_encoding.h"

#include <iconv.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "common/little_endian.h"

namespace quill {

namespace {

constexpr uint32_t kReplacementCharacter = 0xFFFD;

bool IsHighSurrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Owns one iconv descriptor; iconv_t is not shareable between threads, so
// each conversion opens its own.
class IconvHandle {
 public:
  IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~IconvHandle() {
    if (valid()) iconv_close(cd_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

std::string IconvCodePageName(int32_t code_page) {
  switch (code_page) {
    case 65001: return "UTF-8";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 437: return "CP437";
    case 850: return "CP850";
    case 874: return "CP874";
    default: return "CP" + std::to_string(code_page);
  }
}

// Code pages that map the bytes 00..7F to the same ASCII characters, with
// no shift states: the Windows single-byte pages, the double-byte pages
// (whose lead bytes are all 80 or above), and UTF-8.
bool IsAsciiCompatible(int32_t code_page) {
  switch (code_page) {
    case 437: case 850: case 874: case 932: case 936: case 949: case 950:
    case 1250: case 1251: case 1252: case 1253: case 1254: case 1255: case 1256: case 1257: case 1258:
    case 65001:
      return true;
    default:
      return false;
  }
}

bool IsAscii(std::span<const uint8_t> bytes) {
  for (uint8_t b : bytes) {
    if (b >= 0x80) return false;
  }
  return true;
}

}  // namespace

namespace {

// Writes the UTF-8 bytes of `cp` (a scalar value) at `out`; returns the
// byte count (1 to 4).
size_t EncodeUtf8(uint32_t cp, char* out) {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

uint32_t ScalarOrReplacement(uint32_t cp) {
  return cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ? kReplacementCharacter : cp;
}

}  // namespace

void AppendUtf8(std::string& out, uint32_t cp) {
  char bytes[4];
  out.append(bytes, EncodeUtf8(ScalarOrReplacement(cp), bytes));
}

namespace {

// Four UTF-16LE units loaded as one little-endian word are all below U+0080
// when no bit above the low seven of each unit is set.
constexpr uint64_t kNonAsciiBitsOfFourUnits = 0xFF80FF80FF80FF80ULL;

// The low bytes of four ASCII units, packed as four consecutive bytes.
uint32_t PackAsciiUnits(uint64_t units) {
  return static_cast<uint32_t>((units & 0xFF) | ((units >> 8) & 0xFF00) | ((units >> 16) & 0xFF0000) |
                               ((units >> 24) & 0xFF000000));
}

// True when one of the four packed bytes is zero.
bool HasZeroByte(uint32_t packed) { return ((packed - 0x01010101U) & ~packed & 0x80808080U) != 0; }

// Decodes UTF-16LE units, up to the first zero unit when kStopAtZero. Runs
// of ASCII text, the common case, go eight or four units at a time.
template <bool kStopAtZero>
std::string DecodeUtf16Le(std::span<const uint8_t> bytes) {
  const size_t unit_count = bytes.size() / 2;
  // Room for ASCII text, one byte a unit (short texts stay in the string's
  // own buffer); the first other unit widens it for the rest: one unit
  // gives at most 3 bytes, a surrogate pair (two units) 4.
  std::string out(unit_count, '\0');
  char* at = out.data();
  bool widened = false;
  const uint8_t* in = bytes.data();
  size_t i = 0;
  while (i < unit_count) {
#if defined(__SSE2__)
    // Eight units at a time: all below U+0080 (and none zero, when that
    // ends the text) are narrowed to their low bytes in one pack.
    if (i + 8 <= unit_count) {
      const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i));
      const __m128i zero = _mm_setzero_si128();
      const __m128i not_ascii = _mm_and_si128(units, _mm_set1_epi16(static_cast<int16_t>(0xFF80)));
      int ascii_mask = _mm_movemask_epi8(_mm_cmpeq_epi16(not_ascii, zero));
      if (kStopAtZero) ascii_mask &= ~_mm_movemask_epi8(_mm_cmpeq_epi16(units, zero));
      if (ascii_mask == 0xFFFF) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(at), _mm_packus_epi16(units, units));
        at += 8;
        i += 8;
        continue;
      }
    }
#endif
    if (i + 4 <= unit_count) {
      const uint64_t four = LoadLittleEndianUnchecked<uint64_t>(in + 2 * i);
      const uint32_t packed = PackAsciiUnits(four);
      if ((four & kNonAsciiBitsOfFourUnits) == 0 && (!kStopAtZero || !HasZeroByte(packed))) {
        StoreLittleEndianUnchecked<uint32_t>(reinterpret_cast<uint8_t*>(at), packed);
        at += 4;
        i += 4;
        continue;
      }
    }
    const uint32_t unit = in[2 * i] | (static_cast<uint32_t>(in[2 * i + 1]) << 8);
    if (unit < 0x80) {
      if (kStopAtZero && unit == 0) break;
      *at++ = static_cast<char>(unit);
      ++i;
      continue;
    }
    if (!widened) {
      const size_t written = static_cast<size_t>(at - out.data());
      out.resize(written + (unit_count - i) * 3);
      at = out.data() + written;
      widened = true;
    }
    if (IsHighSurrogate(unit) && i + 1 < unit_count) {
      const uint32_t next = in[2 * i + 2] | (static_cast<uint32_t>(in[2 * i + 3]) << 8);
      if (IsLowSurrogate(next)) {
        at += EncodeUtf8(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00), at);
        i += 2;
        continue;
      }
    }
    at += EncodeUtf8(ScalarOrReplacement(unit), at);  // unpaired surrogates become U+FFFD
    ++i;
  }
  out.resize(static_cast<size_t>(at - out.data()));
  return out;
}

}  // namespace

std::string Utf16LeToUtf8(std::span<const uint8_t> bytes) { return DecodeUtf16Le<false>(bytes); }

std::string Utf16LeToUtf8ToFirstZero(std::span<const uint8_t> bytes) { return DecodeUtf16Le<true>(bytes); }

namespace {

// Decodes one UTF-8 sequence starting at text[i]; advances i past it.
// Overlong forms, surrogates and truncated sequences give U+FFFD and
// consume one byte.
uint32_t NextUtf8CodePoint(std::string_view text, size_t& i) {
  const auto lead = static_cast<uint8_t>(text[i]);
  size_t length = 0;
  uint32_t cp = 0;
  uint32_t minimum = 0;
  if (lead < 0x80) {
    ++i;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, minimum = 0x10000;
  } else {
    ++i;
    return kReplacementCharacter;
  }
  if (text.size() - i < length) {
    ++i;
    return kReplacementCharacter;
  }
  for (size_t k = 1; k < length; ++k) {
    const auto b = static_cast<uint8_t>(text[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return kReplacementCharacter;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return kReplacementCharacter;
  }
  i += length;
  return cp;
}

void AppendUtf16LeUnit(std::vector<uint8_t>& out, uint32_t unit) {
  out.push_back(static_cast<uint8_t>(unit & 0xFF));
  out.push_back(static_cast<uint8_t>(unit >> 8));
}

}  // namespace

std::vector<uint8_t> Utf8ToUtf16Le(std::string_view text) {
  std::vector<uint8_t> out;
  out.reserve(text.size() * 2);
  size_t i = 0;
  while (i < text.size()) {
    const uint32_t cp = NextUtf8CodePoint(text, i);
    if (cp < 0x10000) {
      AppendUtf16LeUnit(out, cp);
    } else {
      AppendUtf16LeUnit(out, 0xD800 + ((cp - 0x10000) >> 10));
      AppendUtf16LeUnit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::string CodePageToUtf8(std::span<const uint8_t> bytes, int32_t code_page) {
  if (bytes.empty()) return {};
  // Most stored text is plain ASCII: it reads the same in every such code
  // page, without the cost of opening a converter.
  if (IsAsciiCompatible(code_page) && IsAscii(bytes)) {
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  IconvHandle cd("UTF-8", IconvCodePageName(code_page).c_str());
  if (!cd.valid()) {
    if (code_page == 1252) return {};
    return CodePageToUtf8(bytes, 1252);
  }
  std::string out;
  std::vector<char> chunk(4 * bytes.size() + 16);
  char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
  size_t in_left = bytes.size();
  // Bounded: every iteration consumes input or emits a replacement for one
  // byte, so the loop runs at most bytes.size() + 1 times.
  while (in_left > 0) {
    char* dst = chunk.data();
    size_t dst_left = chunk.size();
    size_t rc = iconv(cd.get(), &in, &in_left, &dst, &dst_left);
    out.append(chunk.data(), dst - chunk.data());
    if (rc != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: one undefined or incomplete byte sequence. Replace
    // one byte and resynchronise after it.
    AppendUtf8(out, kReplacementCharacter);
    ++in;
    --in_left;
    iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

}  // namespace quill
