// Hex text of bytes: two uppercase hexadecimal digits per byte, in stored
// order, without prefix or separators ("0A1B").
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quill {

std::string HexText(std::span<const uint8_t> bytes);

}  // namespace quill
