// Decoder of SQL Server's binary XML (the stored form of xml values) into
// XML text. See xml_text_decoder.cc for the token grammar it reads.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quill {

// Decodes one whole binary XML value (5-byte header, then tokens) into XML
// text in UTF-8. Returns the empty text when the bytes are malformed in any
// way (bad header, truncation, unknown or misplaced token, name or QName
// index out of range, nesting past the depth limits, output past the size
// limit). A value made of the header alone is an empty fragment and also
// gives the empty text.
std::string DecodeXml(std::span<const uint8_t> bytes);

// Concatenates the chunks of a value collected from large-object pages and
// decodes the result; a total of zero bytes gives the empty text.
std::string DecodeXmlChunks(const std::vector<std::span<const uint8_t>>& chunks);

}  // namespace quill
