#include "schema/type_text.h"

#include <cctype>
#include <cstdint>

namespace quill {

int32_t DeclaredSizeFromTypeText(const std::string& type_text) {
  const size_t open = type_text.find('(');
  if (open == std::string::npos) return 0;
  const size_t close = type_text.find(')', open + 1);
  if (close == std::string::npos) return 0;
  // The number as strtoll reads the text between the brackets: leading
  // blanks, an optional sign, then digits up to the first other character.
  auto digit = [&](size_t i) { return type_text[i] >= '0' && type_text[i] <= '9'; };
  size_t i = open + 1;
  while (i < close && std::isspace(static_cast<unsigned char>(type_text[i])) != 0) ++i;
  bool negative = false;
  if (i < close && (type_text[i] == '+' || type_text[i] == '-')) negative = type_text[i++] == '-';
  if (i >= close || !digit(i)) return 0;
  int64_t v = 0;
  for (; i < close && digit(i); ++i) {
    v = v * 10 + (type_text[i] - '0');
    if (v > int64_t{INT32_MAX} + 1) return 0;  // outside the 32-bit range
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return 0;
  return static_cast<int32_t>(v);
}

void SetTypeText(ColumnDescriptor& column, std::string type_text) {
  column.maxLength = DeclaredSizeFromTypeText(type_text);
  column.typeText = std::move(type_text);
}

}  // namespace quill
