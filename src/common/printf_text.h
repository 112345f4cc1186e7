// printf-style formatting into a std::string. The core library keeps to the
// standard library and the C library, so this is its one formatting helper.
#pragma once

#include <string>

namespace quill {

// The text vsnprintf writes for `format` and the arguments; empty when the
// format cannot be applied.
std::string PrintfText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace quill
