#include "values/value_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "schema/type_codes.h"
#include "schema/type_info.h"
#include "schema/type_text.h"
#include "values/variant_text.h"

namespace quill {
namespace {

// Decode options together with the collation table they refer to.
struct DecodeState : ValueDecodeOptions {
  DecodeState() { collationTable = &table; }
  DecodeState(const DecodeState&) = delete;
  DecodeState& operator=(const DecodeState&) = delete;
  CollationTable table;
};

using Bytes = std::vector<uint8_t>;
namespace tc = type_code;

template <typename T>
Bytes Le(T value, size_t size = sizeof(T)) {
  Bytes out(size);
  auto v = static_cast<uint64_t>(value);
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(i < 8 ? v >> (8 * i) : 0);
  return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Utf16(std::u16string_view text) {
  Bytes out;
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  return out;
}

Bytes Ascii(std::string_view text) { return Bytes(text.begin(), text.end()); }

struct Column {
  int32_t code = 0;
  std::string type_text;
  int16_t length = 0;  // declared length
  uint8_t precision = 0;
  uint8_t scale = 0;
  int32_t collation = -1;
  bool variable = false;
};

ColumnDescriptor Descriptor(const Column& c) {
  ColumnDescriptor d;
  d.typeCode = c.code;
  SetTypeText(d, c.type_text);
  d.declaredLength = c.length;
  d.precision = c.precision;
  d.scale = c.scale;
  d.collationId = c.collation;
  d.variableLength = c.variable;
  return d;
}

// Decodes as a row builder does: type information from the descriptor, the
// span's size as the available bytes, and the entry length as valueLength
// for variable-length values.
std::string Decode(const Column& c, const Bytes& bytes, const ValueDecodeOptions& state) {
  ColumnDescriptor d = Descriptor(c);
  BitColumnState bits;
  TypeInfo info = GetTypeInfo(d, c.code, &bits);
  info.available = static_cast<int64_t>(bytes.size());
  if (info.isVariable) info.valueLength = static_cast<int16_t>(bytes.size());
  return DecodeValue(info, d, bytes, state);
}

std::string Decode(const Column& c, const Bytes& bytes) {
  DecodeState state;
  return Decode(c, bytes, state);
}

bool IsValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<uint8_t>(s[i]);
    size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k) {
      if ((static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

struct Case {
  const char* name;
  Column column;
  Bytes bytes;
  std::string expected;
};

void ExpectCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(Decode(c.column, c.bytes), c.expected) << c.name;
  }
}

const Column kBigint{tc::kBigint, "bigint(8)", 8};
const Column kInt{tc::kInt, "int(4)", 4};
const Column kSmallint{tc::kSmallint, "smallint(2)", 2};
const Column kTinyint{tc::kTinyint, "tinyint(1)", 1};
const Column kMoney{tc::kMoney, "money(8)", 8};
const Column kSmallmoney{tc::kSmallmoney, "smallmoney(4)", 4};
const Column kFloat{tc::kFloat, "float(8)", 8};
const Column kReal{tc::kReal, "real(4)", 4};
const Column kGuid{tc::kUniqueIdentifier, "uniqueidentifier(16)", 16};
const Column kDatetime{tc::kDatetime, "datetime(8)", 8};
const Column kSmalldatetime{tc::kSmalldatetime, "smalldatetime(4)", 4};
const Column kDate{tc::kDate, "date(3)", 3};

Column Decimal(int16_t bytes, uint8_t precision, uint8_t scale) {
  return {tc::kDecimal, "decimal(" + std::to_string(bytes) + ")", bytes, precision, scale};
}
Column Time(int32_t code, const char* name, int16_t bytes, uint8_t scale) {
  return {code, std::string(name) + "(" + std::to_string(bytes) + ")", bytes, 0, scale};
}

Bytes Double(double v) { return Le(std::bit_cast<uint64_t>(v)); }
Bytes Single(float v) { return Le(std::bit_cast<uint32_t>(v)); }
Bytes Datetime(int32_t days, int32_t ticks) { return Concat({Le(ticks), Le(days)}); }

TEST(DecodeValue, Integers) {
  ExpectCases({
      {"bigint 1", kBigint, {1, 0, 0, 0, 0, 0, 0, 0}, "1"},
      {"bigint min", kBigint, Le(INT64_MIN), "-9223372036854775808"},
      {"bigint max", kBigint, Le(INT64_MAX), "9223372036854775807"},
      {"int -1", kInt, {0xFF, 0xFF, 0xFF, 0xFF}, "-1"},
      {"int min", kInt, Le(INT32_MIN), "-2147483648"},
      {"int zero", kInt, {0, 0, 0, 0}, "0"},
      {"smallint min", kSmallint, {0x00, 0x80}, "-32768"},
      {"smallint max", kSmallint, {0xFF, 0x7F}, "32767"},
      {"tinyint 255", kTinyint, {0xFF}, "255"},
      {"tinyint 0", kTinyint, {0x00}, "0"},
      // Values shorter than their type give the empty text.
      {"int from 2 bytes", kInt, {1, 2}, ""},
      {"bigint from 7 bytes", kBigint, {1, 2, 3, 4, 5, 6, 7}, ""},
  });
}

TEST(DecodeValue, MoneyAndSmallmoneyHaveFourDecimals) {
  ExpectCases({
      {"money 0", kMoney, Le<int64_t>(0), "0.0000"},
      {"money 12345", kMoney, Le<int64_t>(12345), "1.2345"},
      {"money -12345", kMoney, Le<int64_t>(-12345), "-1.2345"},
      {"money -123", kMoney, Le<int64_t>(-123), "-0.0123"},
      {"money 32.38", kMoney, Le<int64_t>(323800), "32.3800"},
      {"money max", kMoney, Le(INT64_MAX), "922337203685477.5807"},
      {"money min", kMoney, Le(INT64_MIN), "-922337203685477.5808"},
      {"smallmoney 0", kSmallmoney, Le<int32_t>(0), "0.0000"},
      {"smallmoney 1", kSmallmoney, Le<int32_t>(10000), "1.0000"},
      {"smallmoney -0.0001", kSmallmoney, Le<int32_t>(-1), "-0.0001"},
      {"smallmoney 1.2345", kSmallmoney, Le<int32_t>(12345), "1.2345"},
      {"smallmoney max", kSmallmoney, Le(INT32_MAX), "214748.3647"},
      {"smallmoney min", kSmallmoney, Le(INT32_MIN), "-214748.3648"},
      {"money short", kMoney, {1, 2, 3, 4}, ""},
  });
}

TEST(DecodeValue, DecimalAndNumeric) {
  const Bytes ff16(16, 0xFF);
  // 10^38 - 1, the largest decimal(38) value.
  unsigned __int128 max38 = 1;
  for (int i = 0; i < 38; ++i) max38 *= 10;
  max38 -= 1;
  Bytes max38_bytes{1};
  for (int i = 0; i < 16; ++i) max38_bytes.push_back(static_cast<uint8_t>(max38 >> (8 * i)));
  ExpectCases({
      {"(5,2) positive", Decimal(5, 5, 2), {1, 0x39, 0x30, 0, 0}, "123.45"},
      {"(5,2) negative", Decimal(5, 5, 2), {0, 0x39, 0x30, 0, 0}, "-123.45"},
      {"0.50", Decimal(5, 5, 2), {1, 50, 0, 0, 0}, "0.50"},
      {"0.005", Decimal(5, 5, 3), {1, 5, 0, 0, 0}, "0.005"},
      {"zero scale 2", Decimal(5, 5, 2), {1, 0, 0, 0, 0}, "0.00"},
      {"zero scale 0", Decimal(5, 9, 0), {1, 0, 0, 0, 0}, "0"},
      {"negative zero", Decimal(5, 5, 2), {0, 0, 0, 0, 0}, "0.00"},
      {"integer", Decimal(5, 9, 0), {1, 0xFF, 0xC9, 0x9A, 0x3B}, "999999999"},
      {"(19,4) 8 bytes", Decimal(9, 19, 4), Concat({{1}, Le<uint64_t>(9999999999999999999ull)}),
       "999999999999999.9999"},
      {"(28,0) 12 bytes: 2^88 + 1", Decimal(13, 28, 0), Concat({{1}, Le<uint64_t>(1), {0, 0, 0, 1}}),
       "309485009821345068724781057"},
      {"(38,0) max", Decimal(17, 38, 0), max38_bytes, "99999999999999999999999999999999999999"},
      {"(38,38) max", Decimal(17, 38, 38), max38_bytes, "0.99999999999999999999999999999999999999"},
      {"(38,0) -max", Decimal(17, 38, 0), Concat({{0}, Bytes(max38_bytes.begin() + 1, max38_bytes.end())}),
       "-99999999999999999999999999999999999999"},
      // Digits beyond the precision are cut from the decimals, then the value is refused.
      {"(3,2) cut to integer", Decimal(5, 3, 2), {1, 0x39, 0x30, 0, 0}, "123"},
      {"(4,2) cut one decimal", Decimal(5, 4, 2), {1, 0x39, 0x30, 0, 0}, "123.4"},
      {"39 digits in precision 38", Decimal(17, 38, 0), Concat({{1}, ff16}), ""},
      {"39 digits in precision 40", Decimal(17, 40, 0), Concat({{1}, ff16}),
       "340282366920938463463374607431768211455"},
      {"precision 0", Decimal(5, 0, 0), {1, 7, 0, 0, 0}, ""},
      {"shorter than its width", Decimal(9, 19, 2), {1, 1, 2, 3, 4}, ""},
      {"numeric code", {tc::kNumeric, "numeric(5)", 19, 5, 1}, {1, 0x39, 0x30, 0, 0}, "1234.5"},
  });
}

TEST(DecodeValue, FloatUsesFifteenSignificantDigitsForEitherSign) {
  ExpectCases({
      {"2.5", kFloat, Double(2.5), "2.5"},
      {"100", kFloat, Double(100), "100"},
      {"2e14", kFloat, Double(200000000000000.0), "200000000000000"},
      {"0", kFloat, Double(0), "0"},
      {"-0", kFloat, Double(-0.0), "0"},
      {"0.1", kFloat, Double(0.1), "0.1"},
      {"-2.5", kFloat, Double(-2.5), "-2.5"},
      {"-123.456", kFloat, Double(-123.456), "-123.456"},
      {"1e-10", kFloat, Double(1e-10), "0.0000000001"},
      {"-1e-10", kFloat, Double(-1e-10), "-0.0000000001"},
      {"-0.001", kFloat, Double(-0.001), "-0.001"},
      {"1/3", kFloat, Double(1.0 / 3.0), "0.333333333333333"},
      {"-1/3", kFloat, Double(-1.0 / 3.0), "-0.333333333333333"},
      {"1e20", kFloat, Double(1e20), "100000000000000000000"},
      {"nan", kFloat, Double(std::numeric_limits<double>::quiet_NaN()), "0"},
      {"inf", kFloat, Double(std::numeric_limits<double>::infinity()), "0"},
      {"-inf", kFloat, Double(-std::numeric_limits<double>::infinity()), "0"},
  });
  const std::string max_text = Decode(kFloat, Double(std::numeric_limits<double>::max()));
  EXPECT_EQ(max_text.size(), 309u);
  EXPECT_EQ(max_text.substr(0, 17), "17976931348623157");
  const std::string denormal = Decode(kFloat, Double(std::numeric_limits<double>::denorm_min()));
  EXPECT_EQ(denormal.substr(0, 2), "0.");
  // 4.9406564584124654e-324 with 15 significant digits, rounded up.
  EXPECT_TRUE(denormal.ends_with("494065645841247")) << denormal;
}

TEST(DecodeValue, RealKeepsStreamTextIncludingExponents) {
  ExpectCases({
      {"0.5", kReal, Single(0.5f), "0.5"},
      {"0", kReal, Single(0.0f), "0"},
      {"-1.5", kReal, Single(-1.5f), "-1.5"},
      {"pi", kReal, Single(3.14159274f), "3.14159"},
      {"100000", kReal, Single(100000.0f), "100000"},
      {"1234567", kReal, Single(1234567.0f), "1.23457e+06"},
      {"0.000001", kReal, Single(0.000001f), "1e-06"},
      {"-0.000001", kReal, Single(-0.000001f), "-1e-06"},
      {"0.0001", kReal, Single(0.0001f), "0.0001"},
      {"max", kReal, Single(std::numeric_limits<float>::max()), "3.40282e+38"},
      {"nan", kReal, Single(std::numeric_limits<float>::quiet_NaN()), "0"},
      {"inf", kReal, Single(std::numeric_limits<float>::infinity()), "0"},
  });
}

TEST(DecodeValue, GuidBinaryAndHex) {
  ExpectCases({
      {"guid", kGuid, {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF},
       "00112233-4455-6677-8899-AABBCCDDEEFF"},
      {"guid zero", kGuid, Bytes(16, 0), "00000000-0000-0000-0000-000000000000"},
      {"guid ff", kGuid, Bytes(16, 0xFF), "FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF"},
      {"guid short", kGuid, Bytes(15, 0xFF), ""},
      {"binary", {tc::kBinary, "binary(3)", 3}, {0x00, 0x1A, 0xFF}, "0x001AFF"},
      {"timestamp", {tc::kTimestamp, "timestamp(8)", 8}, {0, 0, 0, 0, 0, 0, 0x07, 0xD1}, "0x00000000000007D1"},
      // The row builder adds "0x" to varbinary and CLR values.
      {"varbinary", {tc::kVarbinary, "varbinary(10)", 10, 0, 0, -1, true}, {0xDE, 0xAD, 0x00}, "DEAD00"},
      {"clr", {tc::kClrType, "geography(-1)", -1, 0, 0, -1, true}, {0xE6, 0x10}, "E610"},
      {"hierarchyid", {tc::kHierarchyId, "hierarchyid(892)", 892, 0, 0, -1, true}, {0x58}, "58"},
      {"geometry", {tc::kGeometry, "geometry(-1)", -1, 0, 0, -1, true}, {0, 0, 0, 0, 1, 0x0C}, "00000000010C"},
      {"image code", {tc::kImage, "image(16)", 16, 0, 0, -1, true}, {1, 2}, ""},
  });
}

TEST(DecodeValue, DatetimeAndSmalldatetime) {
  ExpectCases({
      {"epoch", kDatetime, Datetime(0, 0), "1900-01-01 00:00:00"},
      {"one second next day", kDatetime, Datetime(1, 300), "1900-01-02 00:00:01"},
      {"northwind order date", kDatetime, Datetime(35248, 0), "1996-07-04 00:00:00"},
      {"1753-01-01", kDatetime, Datetime(-53690, 0), "1753-01-01 00:00:00"},
      {"before 1753 keeps month and day", kDatetime, Datetime(-53691, 0), "1753-12-31 00:00:00"},
      {"0001-01-01", kDatetime, Datetime(-693595, 0), "1753-01-01 00:00:00"},
      {"max", kDatetime, Datetime(2958463, 25919999), "9999-12-31 23:59:59"},
      {"year 10000", kDatetime, Datetime(2958464, 0), ""},
      {"year 0", kDatetime, Datetime(-693595 - 366, 0), "1753-01-01 00:00:00"},
      {"year -1", kDatetime, Datetime(-693595 - 366 - 365, 0), ""},
      {"24:00:00", kDatetime, Datetime(0, 25920000), ""},
      {"negative ticks", kDatetime, Datetime(0, -300), ""},
      {"days min", kDatetime, Datetime(INT32_MIN, 0), ""},
      {"short", kDatetime, {0, 0, 0, 0, 0, 0, 0}, ""},
      {"small epoch", kSmalldatetime, {0, 0, 0, 0}, "1900-01-01 00:00:00"},
      {"small max", kSmalldatetime, Concat({Le<uint16_t>(1439), Le<uint16_t>(65535)}), "2079-06-06 23:59:00"},
      {"small 24:00", kSmalldatetime, Concat({Le<uint16_t>(1440), Le<uint16_t>(0)}), ""},
  });
}

TEST(DecodeValue, DateTimeDatetime2AndDatetimeoffset) {
  const Column time7 = Time(tc::kTime, "time", 5, 7);
  const Column time0 = Time(tc::kTime, "time", 3, 0);
  const Column dt2_7 = Time(tc::kDatetime2, "datetime2", 8, 7);
  const Column dt2_0 = Time(tc::kDatetime2, "datetime2", 6, 0);
  const Column dto_0 = Time(tc::kDatetimeOffset, "datetimeoffset", 8, 0);
  const Column dto_7 = Time(tc::kDatetimeOffset, "datetimeoffset", 10, 7);
  const Bytes d2020 = Le<uint32_t>(737424, 3);
  ExpectCases({
      {"date min", kDate, {0, 0, 0}, "0001-01-01"},
      {"date max", kDate, Le<uint32_t>(3652058, 3), "9999-12-31"},
      {"date past 9999", kDate, Le<uint32_t>(3652059, 3), ""},
      {"date all ff", kDate, {0xFF, 0xFF, 0xFF}, ""},
      {"leap day", kDate, Le<uint32_t>(730178, 3), "2000-02-29"},
      {"time(7) 10:00:00.05", time7, Le<uint64_t>(360000500000ull, 5), "10:00:00.0500000"},
      {"time(7) max", time7, Le<uint64_t>(863999999999ull, 5), "23:59:59.9999999"},
      {"time(0)", time0, Le<uint32_t>(86399, 3), "23:59:59"},
      {"time(0) 24:00", time0, Le<uint32_t>(86400, 3), ""},
      {"time(7) past midnight keeps fraction", time7, Le<uint64_t>(864000000001ull, 5), ".0000001"},
      {"datetime2(7) zero", dt2_7, Bytes(8, 0), "0001-01-01 00:00:00.0000000"},
      {"datetime2(7) max", dt2_7, Concat({Le<uint64_t>(863999999999ull, 5), Le<uint32_t>(3652058, 3)}),
       "9999-12-31 23:59:59.9999999"},
      {"datetime2(0)", dt2_0, Concat({Le<uint32_t>(3600, 3), d2020}), "2020-01-01 01:00:00"},
      {"datetime2(0) past 9999", dt2_0, Concat({Le<uint32_t>(0, 3), Le<uint32_t>(3652059, 3)}), ""},
      {"dto +5:30", dto_0, Concat({Le<uint32_t>(0, 3), d2020, Le<int16_t>(330)}), "2020-01-01 05:30:00 +5:30"},
      {"dto -8:00 across midnight", dto_0, Concat({Le<uint32_t>(3 * 3600, 3), d2020, Le<int16_t>(-480)}),
       "2019-12-31 19:00:00 -8:0"},
      {"dto(7) zero offset", dto_7, Concat({Le<uint64_t>(5, 5), d2020, Le<int16_t>(0)}),
       "2020-01-01 00:00:00.0000005  +0:0"},
      {"dto max +14:00 leaves 9999", dto_0,
       Concat({Le<uint32_t>(86399, 3), Le<uint32_t>(3652058, 3), Le<int16_t>(840)}), " +14:0"},
      {"time shorter than declared", time7, {1, 2, 3}, ""},
  });
}

TEST(DecodeValue, BitColumnsShareStoredBytes) {
  DecodeState state;
  ColumnDescriptor d = Descriptor({tc::kBit, "bit(1)", 1});
  BitColumnState bits;
  const Bytes stored{0x05, 0x01};
  size_t position = 0;
  std::vector<std::string> texts;
  std::vector<int32_t> advances;
  std::vector<int16_t> stored_sizes;
  for (int column = 0; column < 9; ++column) {
    TypeInfo info = GetTypeInfo(d, tc::kBit, &bits);
    stored_sizes.push_back(info.storedSize);
    info.available = static_cast<int64_t>(stored.size() - position);
    texts.push_back(DecodeValue(info, d, std::span(stored).subspan(position), state));
    advances.push_back(info.declaredSize);
    position += static_cast<size_t>(info.declaredSize);
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"True", "False", "True", "False", "False", "False", "False",
                                             "False", "True"}));
  EXPECT_EQ(advances, (std::vector<int32_t>{1, 0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(stored_sizes, (std::vector<int16_t>{1, 0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(position, 2u);

  // Without a state, or with a value length other than 1, there is no text.
  TypeInfo no_state = GetTypeInfo(d, tc::kBit, nullptr);
  EXPECT_EQ(DecodeValue(no_state, d, stored, state), "");
  BitColumnState fresh;
  TypeInfo wide = GetTypeInfo(d, tc::kBit, &fresh);
  wide.valueLength = 2;
  EXPECT_EQ(DecodeValue(wide, d, stored, state), "");
  wide.valueLength = 0;
  EXPECT_EQ(DecodeValue(wide, d, stored, state), "False");
}

// Collation ids of the test table with the code pages they stand for.
constexpr int32_t kLatin1 = 53256;
constexpr int32_t kCyrillic = 53251;
constexpr int32_t kJapanese = 53268;
constexpr int32_t kUtf8 = 54000;

std::unique_ptr<DecodeState> CollationState(bool collation_found) {
  auto state = std::make_unique<DecodeState>();
  state->table[kLatin1] = {"Latin1_General_CI_AS", 1252};
  state->table[kCyrillic] = {"Cyrillic_General_CI_AS", 1251};
  state->table[kJapanese] = {"Japanese_CI_AS", 932};
  state->table[kUtf8] = {"Latin1_General_100_CI_AS_SC_UTF8", 65001};
  state->collationFound = collation_found;
  state->tableDisplayActive = true;
  return state;
}

Column Varchar(int32_t collation) { return {tc::kVarchar, "varchar(8000)", 8000, 0, 0, collation, true}; }
Column Char(int16_t length, int32_t collation) {
  return {tc::kChar, "char(" + std::to_string(length) + ")", length, 0, 0, collation};
}

TEST(DecodeValue, CharacterValuesUseTheCollationCodePage) {
  const Bytes cyrillic{0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2};         // "Привет" in 1251
  const Bytes japanese{0x93, 0xFA, 0x96, 0x7B};                     // "日本" in 932
  const Bytes utf8{0xE6, 0x97, 0xA5, 0xE6, 0x9C, 0xAC, 0x43};        // "日本C" in UTF-8
  const Bytes latin{'c', 'a', 'f', 0xE9};                           // "café" in 1252
  for (bool collation_found : {false, true}) {
    auto state = CollationState(collation_found);
    SCOPED_TRACE(collation_found ? "collation found" : "collation not found");
    const struct {
      const char* name;
      Column column;
      Bytes bytes;
      std::string expected;
    } cases[] = {
        {"varchar 1251", Varchar(kCyrillic), cyrillic, "Привет"},
        {"varchar 932", Varchar(kJapanese), japanese, "日本"},
        {"varchar 65001", Varchar(kUtf8), utf8, "日本C"},
        {"varchar 1252", Varchar(kLatin1), latin, "café"},
        {"varchar unknown collation uses ANSI", Varchar(12345), latin, "café"},
        {"varchar no collation uses ANSI", Varchar(0), latin, "café"},
        {"text 1251", {tc::kText, "text(16)", 16, 0, 0, kCyrillic, true}, cyrillic, "Привет"},
        {"char 1251", Char(6, kCyrillic), cyrillic, "Привет"},
        {"char 932", Char(4, kJapanese), japanese, "日本"},
        {"char 65001", Char(7, kUtf8), utf8, "日本C"},
        {"char padded", Char(6, kLatin1), Ascii("ab    "), "ab    "},
        // An undefined byte of the code page is replaced, the rest survives.
        {"varchar undefined byte", Varchar(kLatin1), {'a', 0x81, 'b'}, "a\xEF\xBF\xBD" "b"},
        {"varchar invalid utf-8", Varchar(kUtf8), {'a', 0xFF, 'b'}, "a\xEF\xBF\xBD" "b"},
        {"varchar stops at zero", Varchar(kLatin1), {'a', 'b', 0, 'c'}, "ab"},
        {"empty varchar", Varchar(kLatin1), {}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Decode(c.column, c.bytes, *state), c.expected) << c.name;
  }

  // A char value read while the database collation is resolved shows the
  // bytes after its first zero byte as well.
  auto found = CollationState(true);
  EXPECT_EQ(Decode(Char(5, kLatin1), {'A', 'B', 0, 'C', 0}, *found), "AB_C_");
  auto not_found = CollationState(false);
  EXPECT_EQ(Decode(Char(5, kLatin1), {'A', 'B', 0, 'C', 0}, *not_found), "AB");

  // Outside the table display (later pages, the rows command, module
  // texts) the column's collation still decides the code page; only the
  // bytes after a char value's first zero byte are the display's.
  auto paging = CollationState(true);
  paging->tableDisplayActive = false;
  EXPECT_EQ(Decode(Varchar(kCyrillic), cyrillic, *paging), "Привет");
  EXPECT_EQ(Decode(Char(6, kCyrillic), cyrillic, *paging), "Привет");
  EXPECT_EQ(Decode(Char(5, kLatin1), {'A', 'B', 0, 'C', 0}, *paging), "AB");
  EXPECT_EQ(Decode(Varchar(0), latin, *paging), "café");

  // A long value keeps every byte.
  auto state = CollationState(false);
  const Bytes long_value(8000, 'x');
  EXPECT_EQ(Decode(Varchar(kLatin1), long_value, *state), std::string(8000, 'x'));
  EXPECT_EQ(Decode(Char(8000, kLatin1), long_value, *state), std::string(8000, 'x'));
}

TEST(DecodeValue, UnicodeTypesAlwaysDecodeUtf16) {
  const Column nvarchar{tc::kNvarchar, "nvarchar(4000)", 4000, 0, 0, -1, true};
  const Column ntext{tc::kNtext, "ntext(16)", 16, 0, 0, -1, true};
  const Bytes cjk = Utf16(u"日本語");  // no zero byte at all
  ExpectCases({
      {"nchar ascii", {tc::kNchar, "nchar(4)", 8}, Utf16(u"ab  "), "ab  "},
      {"nvarchar cyrillic", nvarchar, Utf16(u"Привет"), "Привет"},
      {"nvarchar cjk", nvarchar, cjk, "日本語"},
      {"ntext cjk without zero bytes", ntext, cjk, "日本語"},
      {"ntext ascii", ntext, Utf16(u"abc"), "abc"},
      {"nvarchar surrogate pair", nvarchar, Utf16(u"\U0001F600"), "\xF0\x9F\x98\x80"},
      {"nvarchar lone surrogate", nvarchar, Utf16(u"a\xD800" u"b"), "a\xEF\xBF\xBD" "b"},
      {"nvarchar stops at zero", nvarchar, Utf16(u"ab\0cd"), "ab"},
      {"nvarchar odd length", nvarchar, {'a', 0, 'b'}, "a"},
      {"empty nvarchar", nvarchar, {}, ""},
  });
  const Bytes long_value = Utf16(std::u16string(4000, u'Ж'));
  std::string expected;
  for (int i = 0; i < 4000; ++i) expected += "Ж";
  EXPECT_EQ(Decode(nvarchar, long_value), expected);
}

TEST(DecodeValue, SqlVariantCodeGuessesUtf16) {
  DecodeState state;
  ColumnDescriptor d = Descriptor({tc::kSqlVariant, "sql_variant(8016)", 8016, 0, 0, -1, true});
  auto run = [&](int16_t value_length, const Bytes& after_header) {
    TypeInfo info = GetTypeInfo(d, tc::kSqlVariant, nullptr);
    info.valueLength = value_length;
    return DecodeValue(info, d, after_header, state);
  };
  EXPECT_EQ(run(12, Utf16(u"AB")), "AB");
  EXPECT_EQ(run(11, Ascii("abc")), "abc");
  EXPECT_EQ(run(8, Ascii("abc")), "");
  EXPECT_EQ(run(40, Ascii("abc")), "abc");  // the length past the bytes given is not trusted
}

TEST(DecodeValue, XmlMalformedBytesGiveOneSpace) {
  ExpectCases({
      {"garbage", {tc::kXml, "xml(-1)", -1, 0, 0, -1, true}, {0x01, 0x02, 0x03}, " "},
  });
}

TEST(DecodeValue, DeclaredSizeComesFromTypeText) {
  EXPECT_EQ(DeclaredSizeFromTypeText("nvarchar(100)"), 100);
  EXPECT_EQ(DeclaredSizeFromTypeText("varchar(-1)"), -1);
  EXPECT_EQ(DeclaredSizeFromTypeText("int"), 0);
  EXPECT_EQ(DeclaredSizeFromTypeText("int(x)"), 0);
  EXPECT_EQ(DeclaredSizeFromTypeText("int(4"), 0);

  DecodeState state;
  ColumnDescriptor d = Descriptor(kInt);
  TypeInfo info = GetTypeInfo(d, tc::kInt, nullptr);
  info.available = 4;
  const Bytes four{1, 0, 0, 0};
  EXPECT_EQ(DecodeValue(info, d, four, state), "1");
  EXPECT_EQ(info.declaredSize, 4);
  // No data: nothing changes.
  TypeInfo untouched = GetTypeInfo(d, tc::kInt, nullptr);
  EXPECT_EQ(DecodeValue(untouched, d, {}, state), "");
  EXPECT_EQ(untouched.declaredSize, 0);
  // Fewer available bytes than the type needs.
  TypeInfo short_info = GetTypeInfo(d, tc::kInt, nullptr);
  short_info.available = 3;
  EXPECT_EQ(DecodeValue(short_info, d, four, state), "");
}

// A value with fewer bytes than its type reads gives the empty text and
// says how many bytes it needed; one that decodes says nothing.
TEST(DecodeValue, AValueCutShortSaysWhy) {
  struct FailureCase {
    const char* name;
    Column column;
    Bytes bytes;
    std::string failure;  // empty: no failure
  };
  const std::vector<FailureCase> cases = {
      {"int, 3 bytes", kInt, {1, 2, 3}, "value cut short: 4 bytes needed, 3 stored"},
      {"datetime, 5 bytes", kDatetime, {1, 2, 3, 4, 5}, "value cut short: 8 bytes needed, 5 stored"},
      {"guid, 15 bytes", kGuid, Bytes(15, 7), "value cut short: 16 bytes needed, 15 stored"},
      {"decimal without size", {tc::kDecimal, "decimal(0)", 5, 9, 2}, {1, 1, 0, 0, 0},
       "value length unknown for its type"},
      {"money, whole", kMoney, Bytes(8, 0), ""},
      {"int, whole", kInt, {1, 0, 0, 0}, ""},
  };
  for (const FailureCase& c : cases) {
    DecodeState state;
    ColumnDescriptor d = Descriptor(c.column);
    BitColumnState bits;
    TypeInfo info = GetTypeInfo(d, c.column.code, &bits);
    info.available = static_cast<int64_t>(c.bytes.size());
    Status failure;
    const std::string text = DecodeValue(info, d, c.bytes, state, &failure);
    EXPECT_EQ(failure.message(), c.failure) << c.name;
    if (!c.failure.empty()) {
      EXPECT_EQ(text, "") << c.name;
    }
  }
}

TEST(GetTypeInfo, SizesByCode) {
  ColumnDescriptor d;
  d.declaredLength = 50;
  d.variableLength = true;
  const struct {
    int32_t code;
    uint8_t is_variable;
    int16_t stored;
    int16_t value;
  } cases[] = {
      {tc::kBigint, 0, 8, 8},   {tc::kBinary, 0, 50, 50}, {tc::kDate, 0, 3, 3},
      {tc::kTime, 0, 5, 5},     {tc::kDatetimeOffset, 0, 10, 10}, {tc::kInt, 0, 4, 4},
      {tc::kNvarchar, 1, 50, 50}, {tc::kSmallint, 0, 2, 2}, {tc::kTinyint, 0, 1, 1},
      {tc::kUniqueIdentifier, 0, 16, 16}, {tc::kVarbinary, 1, 0, 50}, {tc::kVarchar, 1, 0, 50},
      {tc::kNumeric, 0, 19, 19}, {tc::kXml, 1, 0, 50}, {tc::kSystemType232, 0, 0, 0}, {35, 0, 0, 0},
  };
  for (const auto& c : cases) {
    TypeInfo info = GetTypeInfo(d, c.code, nullptr);
    EXPECT_EQ(info.isVariable, c.is_variable) << c.code;
    EXPECT_EQ(info.storedSize, c.stored) << c.code;
    EXPECT_EQ(info.valueLength, c.value) << c.code;
    EXPECT_EQ(info.code, c.code);
    EXPECT_EQ(info.declaredSize, 0);
    EXPECT_EQ(info.available, 0);
  }
  d.variableLength = false;
  EXPECT_EQ(GetTypeInfo(d, tc::kNchar, nullptr).isVariable, 0);
  EXPECT_EQ(GetTypeInfo(d, tc::kVarchar, nullptr).isVariable, 0);
}

Bytes Variant(uint8_t base_type, std::initializer_list<Bytes> rest) {
  Bytes out{base_type};
  for (const Bytes& p : rest) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::string DecodeVariantBytes(const Bytes& bytes, int32_t* declared = nullptr) {
  DecodeState state;
  TypeInfo info;
  info.declaredSize = 77;
  std::string text = DecodeVariant(info, static_cast<int32_t>(bytes.size()), bytes, state);
  if (declared != nullptr) *declared = info.declaredSize;
  return text;
}

TEST(DecodeVariant, EveryBaseType) {
  const Bytes d2020 = Le<uint32_t>(737424, 3);
  const struct {
    const char* name;
    Bytes bytes;
    std::string expected;
  } cases[] = {
      {"int", {56, 1, 0x2A, 0, 0, 0}, "42"},
      {"int length 5", {56, 1, 0x2A, 0, 0}, ""},
      {"bigint", Variant(127, {{1}, Le(INT64_MIN)}), "-9223372036854775808"},
      {"smallint", Variant(52, {{1}, Le<int16_t>(-2)}), "-2"},
      {"tinyint", {48, 1, 0xFF}, "255"},
      {"bit 1", {104, 1, 0x02}, "True"},
      {"bit 0", {104, 1, 0x00}, "False"},
      {"float", Variant(62, {{1}, Double(-2.5)}), "-2.5"},
      {"float inf", Variant(62, {{1}, Double(std::numeric_limits<double>::infinity())}), "inf"},
      {"real", Variant(59, {{1}, Single(0.000001f)}), "1e-06"},
      {"money", Variant(60, {{1}, Le<int64_t>(-12345)}), "-1.2345"},
      {"smallmoney", Variant(122, {{1}, Le<int32_t>(12345)}), "1.2345"},
      {"decimal", Variant(106, {{1, 5, 2}, {1, 0x39, 0x30, 0, 0}}), "123.45"},
      {"numeric 0.50", Variant(108, {{1, 5, 2}, {1, 50, 0, 0, 0}}), "0.50"},
      {"decimal header only", {106, 1, 5, 2}, ""},
      {"datetime", Variant(61, {{1}, Datetime(35248, 0)}), "1996-07-04 00:00:00"},
      {"smalldatetime", Variant(58, {{1}, Le<uint16_t>(60), Le<uint16_t>(1)}), "1900-01-02 01:00:00"},
      {"date", Variant(40, {{1}, Le<uint32_t>(730178, 3)}), "2000-02-29"},
      {"time(7)", Variant(41, {{1, 7}, Le<uint64_t>(360000500000ull, 5)}), "10:00:00.0500000"},
      {"datetime2(0)", Variant(42, {{1, 0}, Le<uint32_t>(3600, 3), d2020}), "2020-01-01 01:00:00"},
      {"datetimeoffset(0)", Variant(43, {{1, 0}, Le<uint32_t>(0, 3), d2020, Le<int16_t>(330)}),
       "2020-01-01 05:30:00 +5:30"},
      {"time header only", {41, 1, 7}, ""},
      {"guid", Variant(36, {{1}, Bytes(16, 0xFF)}), "FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF"},
      {"char", Variant(175, {{1}, Ascii("caf\xE9"), {0, 'x'}}), "café"},
      {"varchar", Variant(167, {Bytes(7, 0), Ascii("abc")}), "abc"},
      {"nvarchar", Variant(231, {Bytes(7, 0), Utf16(u"Привет")}), "Привет"},
      {"nchar", Variant(239, {Bytes(7, 0), Utf16(u"日本")}), "日本"},
      {"varbinary as text", Variant(165, {Bytes(3, 0), Ascii("ab"), {0, 'c'}}), "ab"},
      {"clr", Variant(240, {{1}, {0x58, 0x0A}}), "0x580A"},
      {"unknown base type", {99, 1, 2, 3}, ""},
      {"empty", {}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeVariantBytes(c.bytes), c.expected) << c.name;

  int32_t declared = -1;
  DecodeVariantBytes(Variant(106, {{1, 5, 2}, {1, 0x39, 0x30, 0, 0}}), &declared);
  EXPECT_EQ(declared, 5);
  DecodeVariantBytes({56, 1, 0x2A, 0, 0, 0}, &declared);
  EXPECT_EQ(declared, 0);

  // A length past the bytes given is not trusted.
  DecodeState state;
  TypeInfo info;
  const Bytes int_value{56, 1, 0x2A, 0, 0, 0};
  EXPECT_EQ(DecodeVariant(info, 600, int_value, state), "");
  EXPECT_EQ(DecodeVariant(info, 6, int_value, state), "42");
}

// Arbitrary bytes, codes, lengths, precisions and scales never make a
// decoder read or write outside its buffers (the sanitizer build checks
// that) and always give well-formed UTF-8.
TEST(DecodeValue, ArbitraryInputGivesWellFormedText) {
  std::mt19937 random(12345);
  DecodeState state;
  state.table[kCyrillic] = {"Cyrillic_General_CI_AS", 1251};
  state.table[kJapanese] = {"Japanese_CI_AS", 932};
  state.table[kUtf8] = {"Latin1_General_100_CI_AS_SC_UTF8", 65001};
  state.collationFound = true;
  state.tableDisplayActive = true;
  const int32_t collations[] = {-1, 0, kCyrillic, kJapanese, kUtf8, 777};
  for (int round = 0; round < 20000; ++round) {
    Bytes bytes(random() % 24);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    ColumnDescriptor d;
    d.typeCode = static_cast<int32_t>(random() % 40) - 2;
    d.declaredLength = static_cast<int16_t>(static_cast<int>(random() % 40) - 4);
    SetTypeText(d, "t(" + std::to_string(static_cast<int>(random() % 40) - 4) + ")");
    d.precision = static_cast<uint8_t>(random() % 42);
    d.scale = static_cast<uint8_t>(random() % 42);
    d.collationId = collations[random() % 6];
    d.variableLength = (random() & 1) != 0;
    BitColumnState bits;
    bits.index = static_cast<int32_t>(random() % 10);
    bits.byteLoaded = static_cast<uint8_t>(random() & 1);
    TypeInfo info = GetTypeInfo(d, d.typeCode, &bits);
    info.available = static_cast<int64_t>(random() % 30);
    if (random() & 1) info.valueLength = static_cast<int16_t>(static_cast<int>(random() % 40) - 8);
    // The byte check the row builder runs without decoding must agree with
    // the decoder's own.
    Status checked;
    const bool present = CheckValueBytes(info, d, bytes, &checked);
    Status failure;
    const std::string text = DecodeValue(info, d, bytes, state, &failure);
    ASSERT_TRUE(IsValidUtf8(text)) << "code " << d.typeCode;
    ASSERT_EQ(checked.message(), failure.message()) << "code " << d.typeCode;
    ASSERT_EQ(present, failure.ok()) << "code " << d.typeCode;
    if (!bytes.empty()) bytes[0] = static_cast<uint8_t>(random() % 2 ? random() : 40 + random() % 140);
    TypeInfo variant_info;
    const std::string variant_text =
        DecodeVariant(variant_info, static_cast<int32_t>(random() % 30) - 2, bytes, state);
    ASSERT_TRUE(IsValidUtf8(variant_text)) << "base type " << (bytes.empty() ? -1 : bytes[0]);
  }
}

}  // namespace
}  // namespace quill
