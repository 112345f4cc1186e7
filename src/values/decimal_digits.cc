#include "values/decimal_digits.h"

#include <cstdint>

namespace quill {

std::string DecimalDigits(unsigned __int128 value) {
  char digits[40];  // 2^128 has 39 digits
  int count = 0;
  while ((value >> 64) != 0) {
    digits[count++] = static_cast<char>('0' + static_cast<int>(value % 10));
    value /= 10;
  }
  // The rest in 64-bit steps, much cheaper to divide.
  for (uint64_t rest = static_cast<uint64_t>(value); rest != 0; rest /= 10) {
    digits[count++] = static_cast<char>('0' + static_cast<int>(rest % 10));
  }
  std::string out;
  out.reserve(static_cast<size_t>(count));
  while (count > 0) out.push_back(digits[--count]);
  return out;
}

}  // namespace quill
