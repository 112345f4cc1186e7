// Text of character values: 8-bit text in the code page of its collation
// (char, varchar, text), UTF-16LE (nchar, nvarchar, ntext), and values whose
// type does not say which of the two they are.
#include <algorithm>
#include <cstdint>
#include <string>

#include "common/text_encoding.h"
#include "schema/type_codes.h"
#include "values/value_text.h"

namespace quill {

namespace {

}  // namespace

int32_t CharacterCodePage(int32_t collation_id, const ValueDecodeOptions& options) {
  if (collation_id == -1 || collation_id == 0 || options.collationTable == nullptr) {
    return options.ansiCodePage;
  }
  auto it = options.collationTable->find(collation_id);
  if (it == options.collationTable->end() || it->second.codePage <= 0) return options.ansiCodePage;
  return it->second.codePage;
}

// UTF-16LE code units up to the first zero unit: 41 00 E9 00 00 00 42 00 ->
// "Aé". Surrogate pairs join; a lone surrogate becomes U+FFFD; an odd last
// byte is dropped.
std::string Utf16TextToFirstZero(std::span<const uint8_t> bytes) { return Utf16LeToUtf8ToFirstZero(bytes); }

// 8-bit text up to the first zero byte, converted from `code_page` (65001 is
// UTF-8); bytes the code page leaves undefined become U+FFFD:
// C0 E1 00 41 in 1251 -> "Аб".
std::string CodePageTextToFirstZero(std::span<const uint8_t> bytes, int32_t code_page) {
  const auto zero = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  return CodePageToUtf8(bytes.first(static_cast<size_t>(zero - bytes.begin())), code_page);
}

// char (3), varchar (17), text (26): 8-bit text up to the first zero byte,
// in every output in the code page of the column's collation
// (CharacterCodePage): the ANSI code page only for a column without a
// collation (id 0 or -1) or with an id the table lacks. The database
// collation is an entry of the same table, so its code page is the one
// found there. On the table display, a char value read while the database
// collation is resolved also shows the bytes after its first zero byte, one
// character per byte: "_" for a zero byte, U+00XX for byte XX:
// 41 42 00 43 00 -> "AB_C_".
std::string CharacterText(std::span<const uint8_t> bytes, int32_t code, int32_t collation_id,
                          const ValueDecodeOptions& options) {
  const int32_t code_page = CharacterCodePage(collation_id, options);
  if (collation_id == -1 || collation_id == 0 || code != type_code::kChar || !options.collationFound ||
      !options.tableDisplayActive) {
    return CodePageTextToFirstZero(bytes, code_page);
  }
  const auto zero = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  std::string text = CodePageTextToFirstZero(bytes, code_page);
  for (auto it = zero; it != bytes.end(); ++it) {
    if (*it == 0) {
      text.push_back('_');
    } else {
      AppendUtf8(text, *it);
    }
  }
  return text;
}

// A value whose type does not say how its text is stored (a sql_variant
// handed to DecodeValue): UTF-16LE when exactly half of its bytes (the
// integer half of the length) are zero, else ANSI text; both up to the first
// zero character. 41 00 42 00 -> "AB"; 41 42 43 -> "ABC".
std::string GuessedUnicodeText(std::span<const uint8_t> bytes, const ValueDecodeOptions& options) {
  const auto zeros = static_cast<size_t>(std::count(bytes.begin(), bytes.end(), uint8_t{0}));
  if (zeros == bytes.size() / 2) return Utf16TextToFirstZero(bytes);
  return CodePageTextToFirstZero(bytes, options.ansiCodePage);
}

}  // namespace quill
