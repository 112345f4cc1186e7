#include "common/printf_text.h"

#include <cstdarg>
#include <cstdio>

namespace quill {

std::string PrintfText(const char* format, ...) {
  char small[128];
  va_list args;
  va_start(args, format);
  const int needed = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (needed < 0) return {};
  if (static_cast<size_t>(needed) < sizeof small) return std::string(small, static_cast<size_t>(needed));

  std::string text(static_cast<size_t>(needed) + 1, '\0');
  va_start(args, format);
  std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  text.resize(static_cast<size_t>(needed));
  return text;
}

}  // namespace quill
