// Typed values and the literals of the export formats: the values carried
// out must read back as what was stored.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "export/field_encoding.h"
#include "export/sql_literals.h"
#include "schema/type_codes.h"
#include "values/typed_value.h"

namespace quill {
namespace {

using namespace type_code;

TypedValue Decode(int32_t code, std::vector<uint8_t> bytes, uint8_t precision = 0, uint8_t scale = 0) {
  ColumnDescriptor column;
  column.typeCode = code;
  column.precision = precision;
  column.scale = scale;
  column.declaredLength = static_cast<int16_t>(bytes.size());
  TypedValue value;
  DecodeTypedValue(column, code, bytes, true, "", value);
  return value;
}

std::string Text(const TypedValue& value) {
  std::string out;
  AppendValueText(out, value);
  return out;
}

TEST(TypedValueTest, StoredBytesGiveLosslessTexts) {
  struct Case {
    const char* what;
    int32_t code;
    std::vector<uint8_t> bytes;
    uint8_t precision, scale;
    const char* expected;
  };
  const std::vector<Case> cases = {
      // datetime keeps milliseconds: 2 ticks are 6.67 ms, shown .007 as the server does.
      {"datetime", kDatetime, {0x02, 0, 0, 0, 0, 0, 0, 0}, 0, 0, "1900-01-01T00:00:00.007"},
      {"datetime last tick", kDatetime, {0xFF, 0x81, 0x8B, 0x01, 0x7F, 0x24, 0x2D, 0x00}, 0, 0,
       "9999-12-31T23:59:59.997"},
      {"smalldatetime", kSmalldatetime, {0x3C, 0, 0x01, 0}, 0, 0, "1900-01-02T01:00:00"},
      {"date max", kDate, {0xDA, 0xB9, 0x37}, 0, 0, "9999-12-31"},
      // time(7): 10:00:00.0500000 = 360000500000 units of 100 ns.
      {"time(7)", kTime, {0x20, 0xB1, 0xB3, 0xD1, 0x53}, 0, 7, "10:00:00.0500000"},
      {"time(0)", kTime, {0x7F, 0x51, 0x01}, 0, 0, "23:59:59"},
      // datetime2(7): 0001-01-01 00:00:00.0000001.
      {"datetime2(7)", kDatetime2, {1, 0, 0, 0, 0, 0, 0, 0}, 0, 7, "0001-01-01T00:00:00.0000001"},
      // datetimeoffset(3): 12:00 UTC on 2000-01-01 given at +05:30 is 17:30 local.
      {"datetimeoffset(3)", kDatetimeOffset, {0x00, 0x2E, 0x93, 0x02, 0x07, 0x24, 0x0B, 0x4A, 0x01}, 0, 3,
       "2000-01-01T17:30:00.000+05:30"},
      {"decimal(38,0) extreme", kDecimal,
       {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x3F, 0x22, 0x8A, 0x09, 0x7A, 0xC4, 0x86, 0x5A, 0xA8, 0x4C, 0x3B, 0x4B}, 38, 0,
       "-99999999999999999999999999999999999999"},
      {"decimal(5,4) small", kDecimal, {0x01, 0x05, 0, 0, 0}, 5, 4, "0.0005"},
      // Magnitudes on either side of 2^64, which take different digit loops.
      {"decimal(20,2) 2^64 - 1", kDecimal, {0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}, 20, 2,
       "184467440737095516.15"},
      {"decimal(20,2) -2^64", kDecimal, {0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0}, 20, 2,
       "-184467440737095516.16"},
      {"money negative", kMoney, {0x85, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0, 0, "-0.0123"},
      {"bigint min", kBigint, {0, 0, 0, 0, 0, 0, 0, 0x80}, 0, 0, "-9223372036854775808"},
      {"float 0.1", kFloat, {0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xB9, 0x3F}, 0, 0, "0.1"},
      {"real 0.1", kReal, {0xCD, 0xCC, 0xCC, 0x3D}, 0, 0, "0.1"},
      {"binary", kBinary, {0x00, 0xAB}, 0, 0, "0x00AB"},
      {"guid", kUniqueIdentifier, {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD,
                                   0xEE, 0xFF}, 0, 0, "00112233-4455-6677-8899-AABBCCDDEEFF"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Text(Decode(c.code, c.bytes, c.precision, c.scale)), c.expected) << c.what;
  }
  // Too few bytes: NULL, never a made-up value.
  EXPECT_TRUE(Decode(kDatetime, {1, 2, 3}).isNull());
  EXPECT_TRUE(Decode(kDecimal, {0, 1}, 38, 0).isNull());
}

TEST(TypedValueTest, FloatsReadBackExactly) {
  for (double v : {0.1, 1.0 / 3, 123456789.123456789, 5e-324, 1.7976931348623157e308, -2.5}) {
    std::vector<uint8_t> bytes(8);
    std::memcpy(bytes.data(), &v, 8);
    const std::string text = Text(Decode(kFloat, bytes));
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), v) << text;
  }
}

TEST(TypedValueTest, LargeBinaryValuesComeFromTheirHexText) {
  ColumnDescriptor column;
  TypedValue value;
  DecodeTypedValue(column, kVarbinary, {}, false, "0x00FF10", value);
  EXPECT_EQ(value.kind, ValueKind::kBinary);
  EXPECT_EQ(value.text, std::string("\x00\xFF\x10", 3));
  DecodeTypedValue(column, kVarbinary, {}, false, "0xZZ", value);
  EXPECT_TRUE(value.isNull());
}

TEST(TypedValueTest, BitsComeFromTheirTruthWords) {
  ColumnDescriptor column;
  TypedValue value;
  const std::vector<uint8_t> byte = {1};
  for (const auto& [text, expected] : std::vector<std::pair<std::string, int>>{
           {"True", 1}, {"False", 0}, {"", -1}, {"Tru", -1}, {"Falsey", -1}, {"true", -1}}) {
    DecodeTypedValue(column, kBit, byte, true, text, value);
    if (expected < 0) {
      EXPECT_TRUE(value.isNull()) << text;
    } else {
      EXPECT_EQ(value.kind, ValueKind::kBoolean) << text;
      EXPECT_EQ(value.integer, expected) << text;
    }
  }
}

TypedValue Value(ValueKind kind, std::string text, int64_t integer = 0, double real = 0, int32_t scale = 0) {
  TypedValue v;
  v.kind = kind;
  v.text = std::move(text);
  v.integer = integer;
  v.real = real;
  v.scale = scale;
  return v;
}

TEST(SqlLiteralTest, LiteralsOfEveryKind) {
  struct Case {
    const char* what;
    TypedValue value;
    int32_t code;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"null", TypedValue{}, kInt, "NULL"},
      {"quotes doubled", Value(ValueKind::kText, "O'Brien's"), kNvarchar, "N'O''Brien''s'"},
      {"empty text", Value(ValueKind::kText, ""), kNvarchar, "N''"},
      {"NUL inside", Value(ValueKind::kText, std::string("a\0b", 3)), kNvarchar, "N'a' + NCHAR(0) + N'b'"},
      {"NUL first", Value(ValueKind::kText, std::string("\0x", 2)), kNvarchar, "N'' + NCHAR(0) + N'x'"},
      // U+1F600 as UTF-8: the pair stays whole.
      {"surrogate pair", Value(ValueKind::kText, "\xF0\x9F\x98\x80"), kNvarchar, "N'\xF0\x9F\x98\x80'"},
      {"line breaks kept", Value(ValueKind::kText, "a\r\nb"), kVarchar, "N'a\r\nb'"},
      {"decimal extreme", Value(ValueKind::kDecimal, "-99999999999999999999999999999999999999"), kDecimal,
       "-99999999999999999999999999999999999999"},
      {"decimal scale", Value(ValueKind::kDecimal, "0.00000000000000000000000000000000000001"), kDecimal,
       "0.00000000000000000000000000000000000001"},
      {"bigint min", Value(ValueKind::kInteger, "", std::numeric_limits<int64_t>::min()), kBigint,
       "-9223372036854775808"},
      {"bit", Value(ValueKind::kBoolean, "", 1), kBit, "1"},
      {"float", Value(ValueKind::kFloat, "", 0, 0.1), kFloat, "1E-01"},
      {"binary", Value(ValueKind::kBinary, std::string("\x00\xFF", 2)), kVarbinary, "0x00FF"},
      {"empty binary", Value(ValueKind::kBinary, ""), kVarbinary, "0x"},
      {"datetime", Value(ValueKind::kDateTime, "1753-01-01T00:00:00.000", 0, 0, 3), kDatetime,
       "CONVERT(datetime, '1753-01-01T00:00:00.000', 126)"},
      {"datetime2", Value(ValueKind::kDateTime, "9999-12-31T23:59:59.9999999", 0, 0, 7), kDatetime2,
       "CONVERT(datetime2(7), '9999-12-31T23:59:59.9999999', 126)"},
      {"date", Value(ValueKind::kDate, "0001-01-01"), kDate, "CONVERT(date, '0001-01-01', 23)"},
      {"datetimeoffset", Value(ValueKind::kDateTimeOffset, "2000-01-01T17:30:00.000+05:30", 0, 0, 3),
       kDatetimeOffset, "CONVERT(datetimeoffset(3), '2000-01-01T17:30:00.000+05:30', 127)"},
      {"time", Value(ValueKind::kTime, "10:00:00.05", 0, 0, 2), kTime, "CAST('10:00:00.05' AS time(2))"},
      {"guid", Value(ValueKind::kGuid, "00112233-4455-6677-8899-AABBCCDDEEFF"), kUniqueIdentifier,
       "CONVERT(uniqueidentifier, '00112233-4455-6677-8899-AABBCCDDEEFF')"},
  };
  for (const Case& c : cases) {
    ExportColumn column;
    column.typeCode = c.code;
    std::string out;
    AppendSqlLiteral(out, c.value, column);
    EXPECT_EQ(out, c.expected) << c.what;
  }
}

TEST(SqlLiteralTest, IdentifiersAndTypes) {
  std::string out;
  AppendSqlIdentifier(out, "odd]name");
  EXPECT_EQ(out, "[odd]]name]");
  struct Case {
    int32_t code;
    const char* name;
    int32_t length, precision, scale;
    const char* expected;
  };
  const std::vector<Case> cases = {{kNvarchar, "nvarchar", 100, 0, 0, "nvarchar(50)"},
                                   {kNvarchar, "nvarchar", -1, 0, 0, "nvarchar(max)"},
                                   {kVarbinary, "varbinary", -1, 0, 0, "varbinary(max)"},
                                   {kChar, "char", 10, 0, 0, "char(10)"},
                                   {kDecimal, "decimal", 9, 18, 2, "decimal(18,2)"},
                                   {kDatetime2, "datetime2", 8, 27, 7, "datetime2(7)"},
                                   {kInt, "int", 4, 10, 0, "int"}};
  for (const Case& c : cases) {
    ExportColumn column;
    column.typeCode = c.code;
    column.typeName = c.name;
    column.maxLength = c.length;
    column.precision = c.precision;
    column.scale = c.scale;
    EXPECT_EQ(SqlTypeText(column), c.expected);
  }
}

TEST(FieldEncodingTest, JsonNumbersOnlyWhereTheyReadBackExactly) {
  struct Case {
    const char* what;
    TypedValue value;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"null", TypedValue{}, "null"},
      {"bit", Value(ValueKind::kBoolean, "", 0), "false"},
      {"int", Value(ValueKind::kInteger, "", 42), "42"},
      {"2^53 - 1", Value(ValueKind::kInteger, "", (int64_t{1} << 53) - 1), "9007199254740991"},
      {"2^53", Value(ValueKind::kInteger, "", int64_t{1} << 53), "\"9007199254740992\""},
      {"decimal 15 digits", Value(ValueKind::kDecimal, "-1234567890.12345"), "-1234567890.12345"},
      {"decimal 16 digits", Value(ValueKind::kDecimal, "1234567890.123456"), "\"1234567890.123456\""},
      {"money", Value(ValueKind::kDecimal, "922337203685477.5807"), "\"922337203685477.5807\""},
      {"float", Value(ValueKind::kFloat, "", 0, 0.1), "0.1"},
      {"infinity", Value(ValueKind::kFloat, "", 0, std::numeric_limits<double>::infinity()), "\"inf\""},
      {"binary base64", Value(ValueKind::kBinary, "Man"), "\"TWFu\""},
      {"binary padded", Value(ValueKind::kBinary, std::string("\xFF", 1)), "\"/w==\""},
      {"date", Value(ValueKind::kDateTime, "2021-03-04T05:06:07.123"), "\"2021-03-04T05:06:07.123\""},
      {"control characters", Value(ValueKind::kText, std::string("a\"\\\n\x01", 5)), "\"a\\\"\\\\\\n\\u0001\""},
      {"invalid UTF-8", Value(ValueKind::kText, "a\xFF"), "\"a\xEF\xBF\xBD\""},
  };
  for (const Case& c : cases) {
    std::string out;
    AppendJsonValue(out, c.value);
    EXPECT_EQ(out, c.expected) << c.what;
  }
}

TEST(FieldEncodingTest, CsvAndTsvFields) {
  const std::vector<std::pair<std::string, std::string>> csv = {
      {"plain", "plain"}, {"a,b", "\"a,b\""}, {"say \"hi\"", "\"say \"\"hi\"\"\""}, {"two\r\nlines", "\"two\r\nlines\""},
      // Texts of sixteen bytes and more are looked at sixteen bytes at a
      // time: a mark in the first block, in a later block, in the tail.
      {"/Content/Images/placeholder.gif", "/Content/Images/placeholder.gif"},
      {"sixteen bytes ok", "sixteen bytes ok"},
      {"a \"quote\" in the first block", "\"a \"\"quote\"\" in the first block\""},
      {"the first block, then a, comma", "\"the first block, then a, comma\""},
      {"thirty-two bytes of plain text!!\n", "\"thirty-two bytes of plain text!!\n\""}};
  for (const auto& [text, expected] : csv) {
    std::string out;
    AppendCsvField(out, text);
    EXPECT_EQ(out, expected);
  }
  std::string out;
  AppendTsvField(out, "a\tb\\c\nd");
  EXPECT_EQ(out, "a\\tb\\\\c\\nd");
}

}  // namespace
}  // namespace quill
