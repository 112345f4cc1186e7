#include "common/text_encoding.h"

#include <gtest/gtest.h>

#include <vector>

namespace quill {
namespace {

std::vector<uint8_t> Utf16Le(std::initializer_list<uint16_t> units) {
  std::vector<uint8_t> bytes;
  for (uint16_t u : units) {
    bytes.push_back(static_cast<uint8_t>(u));
    bytes.push_back(static_cast<uint8_t>(u >> 8));
  }
  return bytes;
}

TEST(Utf16LeToUtf8, DecodesBmpSurrogatePairsAndReplacesUnpairedSurrogates) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    std::string expected;
  } cases[] = {
      {"ascii", Utf16Le({'a', 'b'}), "ab"},
      {"cyrillic", Utf16Le({0x0423, 0x041F}), "\xD0\xA3\xD0\x9F"},
      {"turkish", Utf16Le({0x00D6, 0x015F}), "\xC3\x96\xC5\x9F"},
      {"pair", Utf16Le({0xD83D, 0xDE00}), "\xF0\x9F\x98\x80"},
      {"lone high at end", Utf16Le({'x', 0xD83D}), "x\xEF\xBF\xBD"},
      {"lone low", Utf16Le({0xDE00, 'y'}), "\xEF\xBF\xBDy"},
      {"odd trailing byte", {'a', 0, 'b'}, "a"},
      // ASCII runs go four units at a time: what breaks a run of four.
      {"ascii runs of four and a tail", Utf16Le({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'}), "abcdefghi"},
      {"non-ascii inside a run", Utf16Le({'a', 'b', 0x00E9, 'd', 'e', 'f', 'g', 'h'}), "ab\xC3\xA9" "defgh"},
      {"high byte only", Utf16Le({'a', 0x0161, 'c', 'd'}), "a\xC5\xA1" "cd"},
      {"pair across a run boundary", Utf16Le({'a', 'b', 'c', 0xD83D, 0xDE00, 'x'}), "abc\xF0\x9F\x98\x80x"},
      {"zero units are kept", Utf16Le({'a', 0, 'b', 'c', 'd'}), std::string("a\0bcd", 5)},
      // And eight at a time before that.
      {"ascii runs of eight, four and a tail",
       Utf16Le({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p', 'q', 'r', 's',
                't', 'u'}),
       "abcdefghijklmnopqrstu"},
      {"non-ascii after a run of eight, then more",
       Utf16Le({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x4E2D, 0x6587, 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p',
                0x00E9}),
       "abcdefgh\xE4\xB8\xAD\xE6\x96\x87ijklmnop\xC3\xA9"},
      {"non-ascii last in a run of eight", Utf16Le({'a', 'b', 'c', 'd', 'e', 'f', 'g', 0x00E9, 'x'}),
       "abcdefg\xC3\xA9x"},
      {"zero units are kept in a run of eight", Utf16Le({'a', 'b', 0, 'd', 'e', 'f', 'g', 'h'}),
       std::string("ab\0defgh", 8)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Utf16LeToUtf8(c.bytes), c.expected);
  }
}

TEST(Utf16LeToUtf8ToFirstZero, StopsAtTheFirstZeroUnitInsideOrAfterARun) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    std::string expected;
  } cases[] = {
      {"no zero", Utf16Le({'a', 'b', 'c', 'd', 'e'}), "abcde"},
      {"zero inside the first run", Utf16Le({'a', 'b', 0, 'd', 'e', 'f', 'g', 'h'}), "ab"},
      {"zero after a run", Utf16Le({'a', 'b', 'c', 'd', 0, 'f'}), "abcd"},
      {"zero first", Utf16Le({0, 'b', 'c', 'd'}), ""},
      {"a zero low byte is not a zero unit", Utf16Le({'a', 0x0100, 'c', 'd'}), "a\xC4\x80" "cd"},
      {"high surrogate before the zero", Utf16Le({'a', 0xD83D, 0, 'd'}), "a\xEF\xBF\xBD"},
      {"zero inside a run of eight", Utf16Le({'a', 'b', 'c', 'd', 'e', 0, 'g', 'h', 'i', 'j'}), "abcde"},
      {"zero after a run of eight", Utf16Le({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0, 'j'}), "abcdefgh"},
      {"a zero low byte in a run of eight", Utf16Le({'a', 0x0100, 'c', 'd', 'e', 'f', 'g', 'h', 'i'}),
       "a\xC4\x80" "cdefghi"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Utf16LeToUtf8ToFirstZero(c.bytes), c.expected);
  }
}

TEST(CodePageToUtf8, ConvertsWindowsCodePagesAndReplacesUndefinedBytes) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int32_t code_page;
    std::string expected;
  } cases[] = {
      {"1252 euro", {0x80, 'A'}, 1252, "\xE2\x82\xAC" "A"},
      {"1252 undefined 0x81", {'a', 0x81, 'b'}, 1252, "a\xEF\xBF\xBD" "b"},
      {"1251 cyrillic", {0xC0, 0xE1}, 1251, "\xD0\x90\xD0\xB1"},
      {"65001 is utf-8", {0xC3, 0xA9}, 65001, "\xC3\xA9"},
      {"65001 broken sequence", {0xC3, 'x'}, 65001, "\xEF\xBF\xBDx"},
      {"932 double byte", {0x82, 0xA0}, 932, "\xE3\x81\x82"},
      {"unknown code page falls back to 1252", {0xE9}, 12345, "\xC3\xA9"},
      {"empty", {}, 1252, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CodePageToUtf8(c.bytes, c.code_page), c.expected);
  }
}

TEST(Utf8ToUtf16Le, EncodesSurrogatePairsAndReplacesMalformedSequences) {
  // "a", U+00E9, U+20AC, U+1F600 round trip through both directions.
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
  const std::vector<uint8_t> expected = {'a', 0, 0xE9, 0, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE};
  EXPECT_EQ(Utf8ToUtf16Le(text), expected);
  EXPECT_EQ(Utf16LeToUtf8(expected), text);

  // A stray continuation byte, an overlong "/", an encoded surrogate and a
  // cut sequence: every byte of them becomes U+FFFD.
  EXPECT_EQ(Utf8ToUtf16Le("\x80\xC0\xAFx\xED\xA0\x80\xE2\x82"),
            (std::vector<uint8_t>{0xFD, 0xFF, 0xFD, 0xFF, 0xFD, 0xFF, 'x', 0, 0xFD, 0xFF, 0xFD, 0xFF,
                                  0xFD, 0xFF, 0xFD, 0xFF, 0xFD, 0xFF}));
}

}  // namespace
}  // namespace quill
