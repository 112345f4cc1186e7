#include "export/sql_literals.h"

#include <charconv>
#include <cmath>

#include "schema/type_codes.h"

namespace quill {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendNString(std::string& out, std::string_view text) {
  // A NUL character cannot stand in a script: it is joined in as NCHAR(0).
  size_t start = 0;
  bool first = true;
  while (true) {
    const size_t zero = text.find('\0', start);
    const std::string_view piece = text.substr(start, zero == std::string_view::npos ? zero : zero - start);
    if (!piece.empty() || zero == std::string_view::npos || first) {
      if (!first) out += " + ";
      out += "N'";
      for (char c : piece) {
        if (c == '\'') out.push_back('\'');
        out.push_back(c);
      }
      out.push_back('\'');
      first = false;
    }
    if (zero == std::string_view::npos) break;
    out += " + NCHAR(0)";
    start = zero + 1;
  }
}

void AppendConvert(std::string& out, const char* type, int32_t scale, bool with_scale, const std::string& text,
                   int style) {
  out += "CONVERT(";
  out += type;
  if (with_scale) {
    out.push_back('(');
    out += std::to_string(scale);
    out.push_back(')');
  }
  out += ", '";
  out += text;
  out += "', ";
  out += std::to_string(style);
  out.push_back(')');
}

}  // namespace

void AppendSqlIdentifier(std::string& out, std::string_view name) {
  out.push_back('[');
  for (char c : name) {
    if (c == ']') out.push_back(']');
    out.push_back(c);
  }
  out.push_back(']');
}

std::string QualifiedTableName(const std::string& schema, const std::string& name) {
  std::string out;
  AppendSqlIdentifier(out, schema);
  out.push_back('.');
  AppendSqlIdentifier(out, name);
  return out;
}

std::string SqlTypeText(const ExportColumn& column) {
  using namespace type_code;
  const std::string& name = column.typeName;
  auto length = [&](int32_t units) { return units < 0 ? std::string("(max)") : "(" + std::to_string(units) + ")"; };
  switch (column.typeCode) {
    case kChar: case kVarchar: case kBinary: case kVarbinary:
      if (name == "text" || name == "image") return name;
      return name + length(column.maxLength);
    case kNchar: case kNvarchar:
      if (name == "sysname") return name;
      return name + length(column.maxLength < 0 ? -1 : column.maxLength / 2);
    case kDecimal: case kNumeric:
      return name + "(" + std::to_string(column.precision) + "," + std::to_string(column.scale) + ")";
    case kTime: case kDatetime2: case kDatetimeOffset:
      return name + "(" + std::to_string(column.scale) + ")";
    default:
      return name;
  }
}

void AppendSqlLiteral(std::string& out, const TypedValue& value, const ExportColumn& column) {
  switch (value.kind) {
    case ValueKind::kNull:
      out += "NULL";
      return;
    case ValueKind::kInteger:
    case ValueKind::kBoolean:
      out += std::to_string(value.integer);
      return;
    case ValueKind::kDecimal:
      out += value.text;
      return;
    case ValueKind::kFloat: {
      if (!std::isfinite(value.real)) {
        out += "NULL";  // the server stores no infinity or NaN
        return;
      }
      char buffer[64];
      const auto result =
          value.single ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(value.real),
                                       std::chars_format::scientific)
                       : std::to_chars(buffer, buffer + sizeof buffer, value.real, std::chars_format::scientific);
      for (const char* p = buffer; p != result.ptr; ++p) out.push_back(*p == 'e' ? 'E' : *p);
      return;
    }
    case ValueKind::kBinary:
      out += "0x";
      for (char c : value.text) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(kHexDigits[b >> 4]);
        out.push_back(kHexDigits[b & 15]);
      }
      return;
    case ValueKind::kDate:
      AppendConvert(out, "date", 0, false, value.text, 23);
      return;
    case ValueKind::kDateTime:
      if (column.typeCode == type_code::kDatetime2) {
        AppendConvert(out, "datetime2", value.scale, true, value.text, 126);
      } else {
        AppendConvert(out, column.typeCode == type_code::kSmalldatetime ? "smalldatetime" : "datetime", 0, false,
                      value.text, 126);
      }
      return;
    case ValueKind::kDateTimeOffset:
      AppendConvert(out, "datetimeoffset", value.scale, true, value.text, 127);
      return;
    case ValueKind::kTime:
      out += "CAST('" + value.text + "' AS time(" + std::to_string(value.scale) + "))";
      return;
    case ValueKind::kGuid:
      out += "CONVERT(uniqueidentifier, '" + value.text + "')";
      return;
    default:
      AppendNString(out, value.text);
  }
}

}  // namespace quill
