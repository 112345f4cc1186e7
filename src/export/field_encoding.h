// Typed values as text fields of the text formats: CSV (RFC 4180), TSV
// (backslash escapes) and JSON. Each appends to a buffer, so a row is built
// without temporary strings.
#pragma once

#include <string>
#include <string_view>

#include "values/typed_value.h"

namespace quill {

// The value as one plain text: integers and decimals as their digits, bit
// as 1 or 0, floats in the shortest form that reads back the same, binary
// as "0x" and hex digits, dates and times in ISO 8601 at their stored
// precision, NULL as nothing.
void AppendValueText(std::string& out, const TypedValue& value);

// RFC 4180: quoted (quotes doubled) when it holds a comma, quote, CR or LF.
void AppendCsvField(std::string& out, std::string_view text);
// Tab, CR, LF and backslash as \t, \r, \n and \\.
void AppendTsvField(std::string& out, std::string_view text);
// A JSON string literal; control characters as \u escapes, invalid UTF-8
// bytes as U+FFFD.
void AppendJsonString(std::string& out, std::string_view text);
// The value as JSON: null; true/false for bit; integers, decimals and money
// as numbers when a reader that parses numbers as doubles gets them back
// exactly (at most 15 significant digits, integers within 2^53), else as
// strings; floats as numbers (non-finite ones as strings); binary as base64
// strings; everything else as strings.
void AppendJsonValue(std::string& out, const TypedValue& value);

void AppendBase64(std::string& out, std::string_view bytes);

}  // namespace quill
