#include "values/xml_text_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace quill {
namespace {

using Bytes = std::vector<uint8_t>;

// "DF FF 01" -> bytes.
Bytes Hex(const std::string& hex) {
  Bytes out;
  int high = -1;
  for (char c : hex) {
    int v = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10
            : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
    if (v < 0) continue;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<uint8_t>(high * 16 + v));
      high = -1;
    }
  }
  return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// textdata for ASCII text: mb32 count of UTF-16 units, then the units.
Bytes Text(const std::string& s) {
  Bytes out;
  size_t n = s.size();
  do {
    uint8_t b = n & 0x7F;
    n >>= 7;
    out.push_back(static_cast<uint8_t>(b | (n ? 0x80 : 0)));
  } while (n);
  for (char c : s) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(0);
  }
  return out;
}

const Bytes kHeader = Hex("DF FF 01 B0 04");
Bytes Name(const std::string& s) { return Cat({{0xF0}, Text(s)}); }
Bytes Str(const std::string& s) { return Cat({{0x11}, Text(s)}); }
// Header, then name 1 "e" and qname 1 = e.
Bytes WithElementE() { return Cat({kHeader, Name("e"), Hex("EF 00 00 01")}); }

std::string Decode(const Bytes& b) { return DecodeXml(b); }

// The constructed 143-byte example value.
const Bytes kWorkedExample = Hex(
    "DF FF 01 B0 04"
    "F0 03 64 00 6F 00 63 00  EF 00 00 01  F8 01"
    "F0 07 78 00 6D 00 6C 00 6E 00 73 00 3A 00 70 00  EF 00 02 00  F6 02"
    "11 05 75 00 72 00 6E 00 3A 00 78 00"
    "F0 02 69 00 64 00  EF 00 00 03  F6 03  11 01 37 00  F5"
    "F0 05 75 00 72 00 6E 00 3A 00 78 00  F0 01 70 00  F0 04 69 00 74 00 65 00 6D 00"
    "EF 04 05 06  F8 04  11 03 61 00 3C 00 62 00  F7"
    "F0 01 6E 00  EF 00 00 07  F8 05  02 2A 00 00 00  F7"
    "F3 01 63 00  F0 02 70 00 69 00  F4 08 01 64 00  F7");
const std::string kWorkedExampleText =
    "<doc xmlns:p=\"urn:x\" id=\"7\"><p:item>a&lt;b</p:item><n>42</n><!--c--><?pi d?></doc>";

struct DocumentCase {
  const char* label;
  Bytes bytes;
  std::string text;
};

TEST(XmlTextDecoderTest, DocumentVectors) {
  const std::vector<DocumentCase> cases = {
      {"worked example", kWorkedExample, kWorkedExampleText},
      {"missing declaration added",
       Hex("DF FF 01 B0 04  F0 05 75 00 72 00 6E 00 3A 00 78 00  F0 01 70 00  F0 01 65 00"
           "EF 01 02 03  F8 01  F7"),
       "<p:e xmlns:p=\"urn:x\"/>"},
      {"nested document has its own names",
       Hex("DF FF 01 B0 04  F0 01 72 00  EF 00 00 01  F8 01"
           "EC  DF FF 01 B0 04  F0 01 61 00  EF 00 00 01  F8 01  F7  EB"
           "F8 01  F7  F7"),
       "<r><a/><r/></r>"},
      {"flush restarts both tables",
       Hex("DF FF 01 B0 04  F0 01 72 00  EF 00 00 01  F8 01  E9  F0 01 61 00  EF 00 00 01  F8 01  F7  F7"),
       "<r><a/></r>"},
      {"fragment", Hex("DF FF 01 B0 04  F0 01 61 00  EF 00 00 01  F8 01  F7  11 01 74 00  F8 01  11 01 78 00  F7"),
       "<a/>t<a>x</a>"},
      {"header only", kHeader, ""},
      {"version 0 and 2 headers", Cat({Hex("DF FF 00 B0 04"), Str("a"), {0xEC}, Hex("DF FF 02 B0 04"), Str("b"), {0xEB}}),
       "ab"},
      {"default namespace declared",
       Cat({kHeader, Name("urn:d"), Name("e"), Hex("EF 01 00 02  F8 01 F7")}), "<e xmlns=\"urn:d\"/>"},
      {"explicit default declaration kept, not repeated",
       Cat({kHeader, Name("urn:d"), Name("e"), Name("xmlns"), Hex("EF 01 00 02  EF 00 03 00  F8 01  F6 02"),
            Str("urn:d"), Hex("F5 F7")}),
       "<e xmlns=\"urn:d\"/>"},
      {"unprefixed attribute in a namespace gets a prefix",
       Cat({WithElementE(), Name("urn:a"), Name("k"), Hex("EF 02 00 03  F8 01  F6 02"), Str("v"), Hex("F5 F7")}),
       "<e ns1:k=\"v\" xmlns:ns1=\"urn:a\"/>"},
      {"xml prefix never declared",
       Cat({WithElementE(), Name("http://www.w3.org/XML/1998/namespace"), Name("xml"), Name("space"),
            Hex("EF 02 03 04  F8 01  F6 02"), Str("preserve"), Hex("F5 F7")}),
       "<e xml:space=\"preserve\"/>"},
      {"attribute escaping", Cat({WithElementE(), Hex("F8 01 F6 01"), Str("\"&<>\t\n\r'"), Hex("F5 F7")}),
       "<e e=\"&quot;&amp;&lt;&gt;&#x9;&#xA;&#xD;'\"/>"},
      {"text escaping", Cat({WithElementE(), Hex("F8 01"), Str("\"&<>\t\n\r"), Hex("F7")}),
       "<e>\"&amp;&lt;&gt;\t\n&#xD;</e>"},
      {"attribute with no atoms and metadata among atoms",
       Cat({WithElementE(), Hex("F8 01 F6 01 F6 01"), Str("a"), Name("x"), Str("b"), Hex("F5 F7")}),
       "<e e=\"\"/>"},  // second attribute with the same printed name is dropped
      {"metadata among attribute atoms",
       Cat({WithElementE(), Name("k"), Hex("EF 00 00 02  F8 01 F6 02"), Str("a"), Name("x"), Str("b"), Hex("F5 F7")}),
       "<e k=\"ab\"/>"},
      {"F5 with no attributes", Cat({WithElementE(), Hex("F8 01 F5 F7")}), "<e/>"},
      {"typed atoms separated, strings joined",
       Cat({WithElementE(), Hex("F8 01  02 01 00 00 00  02 02 00 00 00"), Str("x"), Str("y"),
            Hex("02 03 00 00 00 F7")}),
       "<e>1 2xy3</e>"},
      {"CDATA chunks form one section, ]]> split",
       Cat({WithElementE(), Hex("F8 01 F2"), Text("a]]"), {0xF2}, Text(">b\r"), Hex("F1 F7")}),
       "<e><![CDATA[a]]]]><![CDATA[>b\r]]></e>"},
      {"comment dashes kept well-formed", Cat({kHeader, {0xF3}, Text("a--b-")}), "<!--a- -b- -->"},
      {"PI with empty data and ?> in data",
       Cat({kHeader, Name("t"), Hex("F4 01"), Text(""), Hex("F4 01"), Text("x?>y")}), "<?t?><?t x? >y?>"},
      {"XML declaration", Cat({kHeader, {0xFE}, Text("1.0"), {0xFD}, Text("utf-16"), {0x01}, Str("x")}),
       "<?xml version=\"1.0\" standalone=\"yes\"?>x"},
      {"DOCTYPE", Cat({kHeader, {0xFC}, Text("r"), {0xFB}, Text("s.dtd"), {0xFA}, Text("-//p"), {0xF9}, Text("<!ENTITY a 'b'>")}),
       "<!DOCTYPE r PUBLIC \"-//p\" \"s.dtd\" [<!ENTITY a 'b'>]>"},
      {"non-minimal mb64 and extension skipped", Cat({kHeader, Hex("EA 03 01 02 03  11 81 00 41 00")}), "A"},
      {"whitespace-only text keeps its last character as a reference",
       Cat({WithElementE(), Hex("F8 01"), Str(" \n"), Hex("F8 01"), Str(" "), Str("\t"), Hex("F7 F7"), Str(" ")}),
       "<e> &#xA;<e> &#x9;</e></e>&#x20;"},
      {"control character replaced", Cat({kHeader, Hex("11 03 61 00 01 00 00 D8")}), "a\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Decode(c.bytes), c.text) << c.label;
  }
}

// Long text: the count needs a two-byte mb32 (200 = C8 01, 300 = AC 02).
TEST(XmlTextDecoderTest, MultiByteLengths) {
  for (size_t n : {127u, 128u, 200u, 300u, 16384u}) {
    std::string s(n, 'q');
    EXPECT_EQ(Decode(Cat({kHeader, Str(s)})), s) << n;
  }
  EXPECT_EQ(Text(std::string(200, 'q'))[0], 0xC8);
  EXPECT_EQ(Text(std::string(300, 'q'))[1], 0x02);
}

struct AtomCase {
  const char* bytes;
  const char* text;
};

TEST(XmlTextDecoderTest, AtomVectors) {
  const std::vector<AtomCase> cases = {
      {"07 FF", "-1"},
      {"88 FF", "255"},
      {"01 FE FF", "-2"},
      {"8B FF FF FF FF FF FF FF FF", "18446744073709551615"},
      {"86 00", "false"},
      {"86 01", "true"},
      {"86 07", "true"},
      {"0A 07 06 04 01 5E 0D 03 00", "20.003"},
      {"05 59 92 01 00 00 00 00 00", "10.3001"},
      {"03 00 00 C0 3F", "1.5"},
      {"04 CD CC CC CC CC CC 2A 40", "13.4"},
      {"04 95 64 79 E1 7F FD B5 BD", "-2.0E-11"},
      {"09 FF 19 96 6F 86 8B 11 D0 B4 2D 00 C0 4F C9 64 FF", "6F9619FF-8B86-D011-B42D-00C04FC964FF"},
      {"0D 07 E4 04 00 00 61 62 63", "abc"},
      {"84 03 42 AC EF", "42ACEF"},
      {"85 03 42 AC EF", "Qqzv"},
      {"82 5E 7D 2E 07 87 7B 05 00", "2004-05-23T14:25:10.487Z"},
      {"83 79 E2 52 3C 07 00 00 00", "2003-11-09-04:30"},
      {"81 D0 B7 71 0B 00 00 00 00", "13:20:00.5Z"},
      {"12 F0 94 00 00 9A A0 ED 00", "2004-05-23T14:25:10.487"},
      {"13 28 99 F3 02", "2007-05-08T12:35:00"},
      {"7F 83 2E 0B", "2007-05-08"},
      {"7E 07 07 55 43 8A 69 83 2E 0B", "2007-05-08T12:35:29.1234567"},
      {"7B 07 07 5B 9D DC 02 83 2E 0B DF 02", "2007-05-08T12:35:29.1234567+12:15"},
      {"7D 02 B0 2A 45 5B 95 0A", "12:35:29.12"},
      // Beyond the vectors given with the format: canonical forms at the edges.
      {"0A 07 05 03 01 E8 80 00 00", "33"},         // 33.000
      {"0A 07 02 02 00 32 00 00 00", "-0.5"},       // -0.50
      {"0B 07 02 02 00 00 00 00 00", "0"},          // negative zero
      {"87 13 26 00 01 FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF",
       "340282366920938463463374607431768211455"},  // full 128-bit magnitude
      {"87 0B 26 05 01 01 00 00 00 00 00 00 00", "0.00001"},
      {"05 00 00 00 00 00 00 00 80", "-922337203685477.5808"},  // INT64_MIN money
      {"14 10 27 00 00", "1"},
      {"04 00 00 00 00 00 00 00 00", "0.0E0"},
      {"04 00 00 00 00 00 00 00 80", "-0.0E0"},
      {"04 00 00 00 00 00 00 59 40", "100"},
      {"04 00 00 00 00 80 84 2E 41", "1.0E6"},
      {"04 8D ED B5 A0 F7 C6 B0 3E", "0.000001"},
      {"04 00 00 00 00 00 00 F0 7F", "INF"},
      {"04 00 00 00 00 00 00 F0 FF", "-INF"},
      {"04 00 00 00 00 00 00 F8 7F", "NaN"},
      {"03 CD CC CC 3D", "0.1"},
      {"0C 00", ""},
      {"0F 02 00 01", "AAE="},
      {"12 00 00 00 00 00 82 8B 01", "1900-01-02T00:00:00"},  // 24:00:00 rolls into the next day
      {"12 46 2E FF FF 00 00 00 00", "1753-01-01T00:00:00"},
      {"13 00 00 00 00", "1900-01-01T00:00:00"},
      {"7F 00 00 00", "0001-01-01"},
      {"7F DA B9 37", "9999-12-31"},
      {"7C 00 00 00 00 83 2E 0B 1E 00", "2007-05-08+00:30"},
      {"7A 00 00 00 00 83 2E 0B C4 FF", "23:00:00-01:00"},  // 00:00 UTC at -01:00
      {"7B 00 00 00 00 00 00 00 C4 FF", "0000-12-31T23:00:00-01:00"},  // the day before 0001-01-01
      {"0E 02 41 00 42 00", "AB"},
      {"18 01 43 00", "C"},
      {"10 05 E9 FD 00 00 41", "A"},  // code page 65001
  };
  for (const auto& c : cases) {
    Bytes bytes = Cat({WithElementE(), {0xF8, 0x01}, Hex(c.bytes), {0xF7}});
    EXPECT_EQ(Decode(bytes), std::string("<e>") + c.text + "</e>") << c.bytes;
  }
}

TEST(XmlTextDecoderTest, QNameAtomInAttributeBindsItsPrefix) {
  Bytes bytes = Cat({WithElementE(), Name("urn:q"), Name("q"), Name("v"), Name("k"),
                     Hex("EF 02 03 04  EF 00 00 05  F8 01 F6 03 8C 02 F5  8C 02 F7")});
  EXPECT_EQ(Decode(bytes), "<e k=\"q:v\" xmlns:q=\"urn:q\">q:v</e>");
}

TEST(XmlTextDecoderTest, ChunksAreJoined) {
  std::span<const uint8_t> all(kWorkedExample);
  EXPECT_EQ(DecodeXmlChunks({all.subspan(0, 3), all.subspan(3, 60), all.subspan(63)}), kWorkedExampleText);
  EXPECT_EQ(DecodeXmlChunks({all}), kWorkedExampleText);
  EXPECT_EQ(DecodeXmlChunks({}), "");
  EXPECT_EQ(DecodeXmlChunks({all.subspan(0, 0), all.subspan(0, 0)}), "");
  EXPECT_EQ(DecodeXmlChunks({all.subspan(0, 50)}), "");  // a truncated value
}

// Every proper prefix of a value whose elements close only at its end is
// malformed: it must decode to the empty text (never partial text, never a
// read past its end). The last value starts with a prolog: a prefix that
// stops between two prolog items is itself a complete value, and only those
// three texts are allowed besides the empty one.
TEST(XmlTextDecoderTest, EveryPrefixIsEmptyOrFull) {
  const std::vector<Bytes> values = {
      kWorkedExample,
      Hex("DF FF 01 B0 04  F0 01 72 00  EF 00 00 01  F8 01"
          "EC  DF FF 01 B0 04  F0 01 61 00  EF 00 00 01  F8 01  F7  EB  F8 01  F7  F7"),
      Cat({WithElementE(), Hex("F8 01 F2"), Text("ab"), {0xF2}, Text("cd"), Hex("F1 F7")}),
      Cat({WithElementE(), Hex("F8 01  7B 07 07 5B 9D DC 02 83 2E 0B DF 02  F7")}),
      Cat({WithElementE(), Hex("F8 01  87 13 26 00 01 FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF F7")}),
      Cat({WithElementE(), Hex("F8 01  09 FF 19 96 6F 86 8B 11 D0 B4 2D 00 C0 4F C9 64 FF F7")}),
      Cat({kHeader, {0xFE}, Text("1.0"), {0xFD}, Text("x"), {0x00}, {0xFC}, Text("r"), {0xFB}, Text("s"),
           Name("e"), Hex("EF 00 00 01 F8 01 F7")}),
  };
  for (size_t v = 0; v < values.size(); ++v) {
    const Bytes& full = values[v];
    const std::string full_text = Decode(full);
    ASSERT_FALSE(full_text.empty()) << "value " << v;
    const bool prolog_first = v + 1 == values.size();
    for (size_t n = 0; n < full.size(); ++n) {
      // A heap copy of exactly n bytes, so a read past the end trips the
      // address sanitizer.
      Bytes prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
      std::string text = Decode(prefix);
      if (prolog_first) {
        EXPECT_TRUE(text.empty() || text == "<?xml version=\"1.0\"?>" ||
                    text == "<?xml version=\"1.0\"?><!DOCTYPE r>" ||
                    text == "<?xml version=\"1.0\"?><!DOCTYPE r SYSTEM \"s\">")
            << "prefix " << n << ": " << text;
      } else {
        EXPECT_EQ(text, "") << "value " << v << " prefix " << n;
      }
    }
  }
}

TEST(XmlTextDecoderTest, MalformedValuesGiveEmptyText) {
  const std::vector<DocumentCase> cases = {
      {"short header", Hex("DF FF 01 B0"), ""},
      {"bad signature", Hex("DF FE 01 B0 04"), ""},
      {"bad version", Hex("DF FF 03 B0 04"), ""},
      {"bad code page", Hex("DF FF 01 B1 04"), ""},
      {"unknown token 00", Cat({kHeader, {0x00}}), ""},
      {"unknown token 15", Cat({kHeader, {0x15}}), ""},
      {"unknown token 80", Cat({kHeader, {0x80}}), ""},
      {"unknown token FF in content", Cat({WithElementE(), Hex("F8 01 FF F7")}), ""},
      {"unknown token in attribute value", Cat({WithElementE(), Hex("F8 01 F6 01 40 F5 F7")}), ""},
      {"qname 0", Cat({WithElementE(), Hex("F8 00 F7")}), ""},
      {"qname past table", Cat({WithElementE(), Hex("F8 02 F7")}), ""},
      {"attribute qname past table", Cat({WithElementE(), Hex("F8 01 F6 05 F5 F7")}), ""},
      {"name past table in qname def", Cat({kHeader, Hex("EF 00 00 01")}), ""},
      {"PI target past table", Cat({kHeader, Hex("F4 01"), Text("x")}), ""},
      {"PI empty target", Cat({kHeader, Hex("F4 00"), Text("x")}), ""},
      {"QName atom past table", Cat({WithElementE(), Hex("F8 01 8C 02 F7")}), ""},
      {"reference after flush", Cat({WithElementE(), Hex("E9 F8 01 F7")}), ""},
      {"nested document cannot see outer names",
       Cat({WithElementE(), Hex("F8 01 EC DF FF 01 B0 04 F8 01 F7 EB F7")}), ""},
      {"empty element local name", Cat({kHeader, Name("urn"), Hex("EF 01 00 00 F8 01 F7")}), ""},
      {"element left open", Cat({WithElementE(), Hex("F8 01")}), ""},
      {"end element with none open", Cat({kHeader, {0xF7}}), ""},
      {"end element closing outer from nested",
       Cat({WithElementE(), Hex("F8 01 EC DF FF 01 B0 04 F7 EB F7")}), ""},
      {"nested document left open", Cat({kHeader, Hex("EC DF FF 01 B0 04")}), ""},
      {"nested document bad header", Cat({kHeader, Hex("EC DF FF 01 B0 05 EB")}), ""},
      {"end nest without nest", Cat({kHeader, {0xEB}}), ""},
      {"F5 outside a start tag", Cat({kHeader, {0xF5}}), ""},
      {"F6 outside a start tag", Cat({kHeader, Hex("F6 01")}), ""},
      {"attributes without F5", Cat({WithElementE(), Hex("F8 01 F6 01 F7")}), ""},
      {"F1 without CDATA", Cat({kHeader, {0xF1}}), ""},
      {"CDATA followed by other token", Cat({kHeader, {0xF2}, Text("a"), {0xF7}}), ""},
      {"XML declaration not first", Cat({kHeader, Str("a"), {0xFE}, Text("1.0"), {0x00}}), ""},
      {"standalone byte 3", Cat({kHeader, {0xFE}, Text("1.0"), {0x03}}), ""},
      {"DOCTYPE after content", Cat({kHeader, Str("a"), {0xFC}, Text("r")}), ""},
      {"second DOCTYPE", Cat({kHeader, {0xFC}, Text("r"), {0xFC}, Text("r")}), ""},
      {"system id outside DOCTYPE", Cat({kHeader, {0xFB}, Text("s")}), ""},
      {"mb32 six bytes", Cat({kHeader, Hex("0E 80 80 80 80 80 00")}), ""},
      {"mb32 above 2^31-1", Cat({kHeader, Hex("F0 FF FF FF FF 0F")}), ""},
      {"mb64 eleven bytes", Cat({kHeader, Hex("0F 80 80 80 80 80 80 80 80 80 80 00")}), ""},
      {"mb64 above 2^63-1", Cat({kHeader, Hex("0F 80 80 80 80 80 80 80 80 80 01")}), ""},
      {"text count past end", Cat({kHeader, Hex("11 FF FF FF FF 07 41 00")}), ""},
      {"blob length past end", Cat({kHeader, Hex("0C 05 01 02")}), ""},
      {"extension length past end", Cat({kHeader, Hex("EA 05 01 02")}), ""},
      {"codepage text length below 4", Cat({kHeader, Hex("0D 03 E4 04 00")}), ""},
      {"codepage 1200 odd bytes", Cat({kHeader, Hex("0D 07 B0 04 00 00 41 00 42")}), ""},
      {"decimal length 8", Cat({kHeader, Hex("0A 08 06 04 01 5E 0D 03 00 00")}), ""},
      {"decimal precision 0", Cat({kHeader, Hex("0A 07 00 00 01 00 00 00 00")}), ""},
      {"decimal precision 39", Cat({kHeader, Hex("0A 07 27 00 01 00 00 00 00")}), ""},
      {"decimal scale above precision", Cat({kHeader, Hex("0A 07 02 03 01 00 00 00 00")}), ""},
      {"decimal sign 2", Cat({kHeader, Hex("0A 07 06 04 02 5E 0D 03 00")}), ""},
      {"sqltime precision 8", Cat({kHeader, Hex("7E 08 00 00 00 00 00 00 00 00")}), ""},
      {"xsd dateTime with date tag", Cat({kHeader, Hex("82 5D 7D 2E 07 87 7B 05 00")}), ""},
      {"xsd time with leftover days", Cat({kHeader, Hex("81 00 00 00 00 01 00 00 00")}), ""},
      // Names that cannot be printed in markup.
      {"empty DOCTYPE root", Cat({kHeader, {0xFC}, Text("")}), ""},
      {"DOCTYPE literal with both quotes", Cat({kHeader, {0xFC}, Text("r"), {0xFB}, Text("a\"b'c")}), ""},
      {"element name with a blank", Cat({kHeader, Name("a b"), Hex("EF 00 00 01 F8 01 F7")}), ""},
      {"element local name with a colon", Cat({kHeader, Name("a:b"), Hex("EF 00 00 01 F8 01 F7")}), ""},
      {"attribute name with '='",
       Cat({WithElementE(), Name("x=y"), Hex("EF 00 00 02 F8 01 F6 02"), Str("v"), Hex("F5 F7")}), ""},
      {"declaration of an empty prefix",
       Cat({WithElementE(), Name("xmlns:"), Hex("EF 00 02 00 F8 01 F6 02"), Str("urn:a"), Hex("F5 F7")}),
       ""},
      {"PI target with a blank", Cat({kHeader, Name("a b"), Hex("F4 01"), Text("x")}), ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Decode(c.bytes), "") << c.label;
  }
}

Bytes Nested(size_t depth) {
  Bytes b = WithElementE();
  for (size_t i = 0; i < depth; ++i) b.insert(b.end(), {0xF8, 0x01});
  b.insert(b.end(), depth, 0xF7);
  return b;
}

TEST(XmlTextDecoderTest, NestingDepthIsCapped) {
  std::string expected;
  for (int i = 0; i < 4095; ++i) expected += "<e>";
  expected += "<e/>";
  for (int i = 0; i < 4095; ++i) expected += "</e>";
  EXPECT_EQ(Decode(Nested(4096)), expected);
  EXPECT_EQ(Decode(Nested(4097)), "");
  EXPECT_EQ(Decode(Nested(100000)), "");

  // Nested documents are capped separately.
  Bytes nest = kHeader;
  for (int i = 0; i < 100; ++i) nest.insert(nest.end(), {0xEC, 0xDF, 0xFF, 0x01, 0xB0, 0x04});
  nest.insert(nest.end(), 100, 0xEB);
  EXPECT_EQ(Decode(nest), "");
  Bytes shallow = Cat({kHeader, Hex("EC DF FF 01 B0 04"), Str("x"), {0xEB}});
  EXPECT_EQ(Decode(shallow), "x");
}

// A long name defined once and referenced by three-byte elements inflates the
// output; the decoder stops at its output cap rather than growing without bound.
TEST(XmlTextDecoderTest, OutputIsCapped) {
  Bytes b = Cat({kHeader, Name(std::string(20000, 'n')), Hex("EF 00 00 01")});
  for (int i = 0; i < 20000; ++i) b.insert(b.end(), {0xF8, 0x01, 0xF7});
  EXPECT_EQ(Decode(b), "");
}

}  // namespace
}  // namespace quill
