// The decimal digits of an unsigned integer of up to 128 bits, the common
// step of every decimal, numeric and money text.
#pragma once

#include <string>

namespace quill {

// Most significant digit first; empty for zero.
std::string DecimalDigits(unsigned __int128 value);

}  // namespace quill
