// Conversions of stored text into the program's text form, UTF-8 in a
// std::string. Stored text is UTF-16LE (nchar, names in system tables) or
// 8-bit text in a Windows code page (char, varchar).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// Appends the UTF-8 form of one code point; invalid code points (surrogates,
// values past U+10FFFF) become U+FFFD.
void AppendUtf8(std::string& out, uint32_t code_point);

// Decodes UTF-16LE units. An odd trailing byte is ignored; an unpaired
// surrogate becomes U+FFFD. Decoding stops at the end of the span only.
std::string Utf16LeToUtf8(std::span<const uint8_t> bytes);
// The same, up to the first zero unit.
std::string Utf16LeToUtf8ToFirstZero(std::span<const uint8_t> bytes);

// Encodes UTF-8 text as UTF-16LE units (the form paths take in files this
// program writes). Malformed UTF-8 sequences become U+FFFD.
std::vector<uint8_t> Utf8ToUtf16Le(std::string_view text);

// Converts 8-bit text of a Windows code page (1252, 1251, 932, ...; 65001 is
// UTF-8) to UTF-8 with iconv. Bytes the code page leaves undefined become
// U+FFFD; an unknown code page falls back to Windows-1252.
std::string CodePageToUtf8(std::span<const uint8_t> bytes, int32_t code_page);

}  // namespace quill
